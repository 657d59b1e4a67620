#pragma once

#include <filesystem>

namespace orvane::app {

// Where the program keeps its pictures, its cache folder "Temp" and "ExcelFile": the
// executable's folder when it is writable, else the per-user data folder. Created when missing.
std::filesystem::path WorkingFolder();

}  // namespace orvane::app
