// The hex Ed25519 public key of the publisher whose updates this Zentrel installs; empty when the
// build was given none, which switches updates off. Each program gets it from a generated source.
#pragma once

extern const char kPublisherKey[];
