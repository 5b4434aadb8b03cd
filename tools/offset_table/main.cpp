// velmora-offset-table: writes a map-offset table ("offset_min.bin") from a
// text list of cells.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "telemetry/gps_offset.h"
#include "telemetry/telemetry.h"

namespace {

constexpr const char* kUsage =
    "usage: velmora-offset-table OUTPUT [CELLS-FILE]\n"
    "Writes a map-offset table to OUTPUT from a list of cells, read from CELLS-FILE\n"
    "or, when it is absent or \"-\", from standard input. One item a line; '#' starts\n"
    "a comment; numbers are decimal with '.':\n"
    "  step STEP                          grid step in degrees (first, once)\n"
    "  LON LAT LON_OFFSET LAT_OFFSET      one cell; LON LAT is the cell's corner\n"
    "                                     nearest to 0,0, rounded to the grid\n"
    "  fill LON0 LAT0 LON1 LAT1 LON_OFFSET LAT_OFFSET\n"
    "                                     every cell with corners in the rectangle\n"
    "A later cell replaces an earlier one with the same corner.\n";

constexpr long long kMaxCells = 20'000'000;

bool Number(const std::string& token, double& value) {
  size_t used = 0;
  value = ReadDecimal(token, &used);
  return used == token.size() && std::isfinite(value);
}

bool Fail(const std::string& where, const std::string& why) {
  std::cerr << "velmora-offset-table: " << where << ": " << why << '\n';
  return false;
}

bool ReadCells(std::istream& in, const std::string& name, double& step, std::vector<GpsOffsetCell>& cells) {
  std::string line;
  int lineNumber = 0;
  step = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    const std::string where = name + ":" + std::to_string(lineNumber);
    if (size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::vector<std::string> tokens;
    for (std::string w; words >> w;) tokens.push_back(w);
    if (tokens.empty()) continue;

    std::vector<double> v;
    const size_t first = tokens[0] == "step" || tokens[0] == "fill" ? 1 : 0;
    for (size_t i = first; i < tokens.size(); ++i) {
      double x;
      if (!Number(tokens[i], x)) return Fail(where, "not a number: " + tokens[i]);
      v.push_back(x);
    }
    if (tokens[0] == "step") {
      if (v.size() != 1 || !(v[0] > 0)) return Fail(where, "\"step\" needs one positive number");
      if (step != 0) return Fail(where, "the step is given twice");
      step = v[0];
      continue;
    }
    if (step == 0) return Fail(where, "the first item must be \"step STEP\"");
    if (tokens[0] == "fill") {
      if (v.size() != 6) return Fail(where, "\"fill\" needs six numbers");
      const double x0 = std::round(std::fmin(v[0], v[2]) / step), x1 = std::round(std::fmax(v[0], v[2]) / step);
      const double y0 = std::round(std::fmin(v[1], v[3]) / step), y1 = std::round(std::fmax(v[1], v[3]) / step);
      if ((x1 - x0 + 1) * (y1 - y0 + 1) + static_cast<double>(cells.size()) > static_cast<double>(kMaxCells))
        return Fail(where, "too many cells");
      for (double x = x0; x <= x1; ++x)
        for (double y = y0; y <= y1; ++y) cells.push_back({x * step, y * step, v[4], v[5]});
      continue;
    }
    if (v.size() != 4) return Fail(where, "a cell needs four numbers: LON LAT LON_OFFSET LAT_OFFSET");
    if (static_cast<long long>(cells.size()) >= kMaxCells) return Fail(where, "too many cells");
    cells.push_back({v[0], v[1], v[2], v[3]});
  }
  if (step == 0) return Fail(name, "no \"step\" line");
  return true;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("velmora-offset-table %s\n", VELMORA_VERSION);
    return 0;
  }
  if (argc < 2 || argc > 3 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::cerr << kUsage;
    return argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") ? 0 : 2;
  }
  const std::string output = argv[1];
  const std::string input = argc == 3 ? argv[2] : "-";

  double step = 0;
  std::vector<GpsOffsetCell> cells;
  bool ok;
  if (input == "-") {
    ok = ReadCells(std::cin, "<stdin>", step, cells);
  } else {
    std::ifstream in(input);
    if (!in) {
      Fail(input, "cannot be opened");
      return 1;
    }
    ok = ReadCells(in, input, step, cells);
  }
  if (!ok) return 1;

  std::string bytes, error;
  if (!EncodeGpsOffsetTable(step, cells, bytes, &error)) {
    Fail(input, error);
    return 1;
  }
  // Written beside the target and renamed over it, so a reader never sees half a table.
  const std::string temporary = output + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      Fail(temporary, "cannot be written");
      std::remove(temporary.c_str());
      return 1;
    }
  }
  if (std::rename(temporary.c_str(), output.c_str()) != 0) {
    Fail(output, "cannot be written");
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}
