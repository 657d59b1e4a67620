"""Series files for the benchmark scripts: a generated long series, and the plain table the
peer programs of scripts/bench-picture-peers draw from."""

HEADER = (
    "구분;Orvane 아파트지수\r\n"
    "지수명;긴 시계열 (벤치마크)\r\n"
    "출처;Orvane;단위;2017.11=100\r\n"
    "형식;hlc\r\n"
    "항목;고가;저가;종가;거래량;전월비\r\n"
    "강조;;;2021.06\r\n"
    "작성;2024.12.31\r\n"
    "비고;생성된 자료\r\n"
    "주의;\r\n"
    "설명;;;긴 시계열\r\n"
)

# The running means of mode 1, in months.
MEAN_WINDOWS = (12, 36, 60, 120, 180, 24)


def generate_series_file(path, months, first_year=1000):
    """An HLC series of `months` monthly lines from January of first_year (a deterministic
    random walk drawn back towards 100, so values stay of one size; about 56 bytes a line)."""
    state = 0x9E3779B97F4A7C15
    mask = (1 << 64) - 1

    def draw():
        nonlocal state
        state ^= (state << 13) & mask
        state ^= state >> 7
        state ^= (state << 17) & mask
        return (state % 10000) / 10000.0

    close = 62.4
    lines = [HEADER.encode("cp949")]
    for i in range(months):
        year, month = first_year + i // 12, i % 12 + 1
        previous = close
        close *= 1 + (draw() - 0.5) * 0.02
        close += (100 - close) * 0.002
        high = max(close, previous) * (1 + draw() * 0.004)
        low = min(close, previous) * (1 - draw() * 0.004)
        volume = 1000 + int(draw() * 20000)
        lines.append(f"{year}.{month:02d};{high:.4f};{low:.4f};{close:.4f};{volume:,};"
                     f"{(close / previous - 1) * 100:.2f}\r\n".encode())
    with open(path, "wb") as f:
        f.write(b"".join(lines))


def _number(text):
    try:
        return float(text.replace(",", "").replace('"', "").strip() or 0)
    except ValueError:
        return 0.0


def peer_table(series_path, table_path, from_year):
    """Writes one line per drawn month: open high low close volume and the six means of mode 1.
    Returns the number of months."""
    with open(series_path, "rb") as f:
        lines = f.read().decode("cp949", errors="replace").splitlines()
    ohlc = len(lines) > 3 and len(lines[3].split(";")) > 1 and lines[3].split(";")[1] == "open"
    records = []
    carried = None
    for line in lines[10:]:
        fields = line.split(";") + [""] * 8
        shift = 1 if ohlc else 0
        close = _number(fields[3 + shift])
        if close == 0:
            continue
        year = int(fields[0].split(".")[0] or 0)
        open_ = _number(fields[1]) if ohlc else (carried if carried is not None else close)
        records.append((year, open_, _number(fields[1 + shift]), _number(fields[2 + shift]),
                        close, _number(fields[4 + shift])))
        carried = close
    sums = [0.0] * len(MEAN_WINDOWS)
    out = []
    for i, (year, o, h, l, c, v) in enumerate(records):
        means = []
        for k, w in enumerate(MEAN_WINDOWS):
            sums[k] += c
            if i >= w:
                sums[k] -= records[i - w][4]
            means.append(sums[k] / min(i + 1, w))
        if year >= from_year:
            out.append(" ".join(f"{x:.6g}" for x in (o, h, l, c, v, *means)))
    with open(table_path, "w") as f:
        f.write("\n".join(out) + "\n")
    return len(out)
