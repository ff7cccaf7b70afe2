#include "devtools/model/literal_model.h"

#include <cstdio>
#include <cstdlib>

namespace model {
namespace {

// The eight neighbours, clockwise from the north-west; neighbour n adds 2^n to the code.
const int drow[8] = {-1, -1, -1, 0, 1, 1, 1, 0};
const int dcol[8] = {-1, 0, 1, 1, 1, 0, -1, -1};

std::string printf_text(const char* fmt, int value) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, fmt, value);
  return buffer;
}

int code_at(const Grid& tab, int i, int j) {
  int code = 0;
  for (int n = 0; n < 8; ++n) {
    if (tab.at(i + drow[n], j + dcol[n]) == tab.at(i, j)) code += 1 << n;
  }
  return code;
}

}  // namespace

bool hangs_together(int code) {
  std::vector<int> present;
  for (int n = 0; n < 8; ++n) {
    if (code & (1 << n)) present.push_back(n);
  }
  if (present.size() != 2 && present.size() != 3) return false;
  // Grow one group from the first present neighbour; the code qualifies if it reaches them all.
  std::vector<bool> in_group(8, false);
  in_group[present[0]] = true;
  for (int round = 0; round < 3; ++round) {
    for (int a : present) {
      for (int b : present) {
        const bool touch = std::abs(drow[a] - drow[b]) <= 1 && std::abs(dcol[a] - dcol[b]) <= 1;
        if (in_group[a] && touch) in_group[b] = true;
      }
    }
  }
  for (int a : present) {
    if (!in_group[a]) return false;
  }
  return true;
}

Thinned thin(const Grid& in) {
  Thinned result;
  result.out = Grid(in.rows, in.cols, 255);
  for (int v : in.px) {
    if (v == 255) continue;
    if (v < result.minval) result.minval = v;
    if (v > result.maxval) result.maxval = v;
  }
  result.transcript +=
      printf_text("\n\n\tTotal number of contour lines : %d ", result.maxval - result.minval + 1);
  for (int k = result.minval; k <= result.maxval; ++k) {
    result.transcript += printf_text("\n\n\tTreatment of the contour line number %d \n", k);
    Grid tab(in.rows, in.cols, 0);
    for (int i = 0; i < in.rows; ++i) {
      for (int j = 0; j < in.cols; ++j) {
        if (in.at(i, j) == k) tab.at(i, j) = 1;
      }
    }
    while (true) {
      int modif = 0;
      for (int i = 1; i <= in.rows - 2; ++i) {
        for (int j = 1; j <= in.cols - 2; ++j) {
          if (tab.at(i, j) == 1 && hangs_together(code_at(tab, i, j))) {
            tab.at(i, j) = 255;
            modif += 1;
          }
        }
      }
      if (modif == 0) break;
      result.transcript += printf_text("\n\t\tNumber of modifications = %d ", modif);
    }
    for (int i = 0; i < in.rows; ++i) {
      for (int j = 0; j < in.cols; ++j) {
        if (tab.at(i, j) == 1) result.out.at(i, j) = k;
      }
    }
  }
  return result;
}

Deburred deburr(const Grid& thinned, int minval, int maxval) {
  Deburred result{thinned, "\n\tEbarbulation \n"};
  for (int k = minval; k <= maxval; ++k) {
    result.transcript += printf_text("\tContour line number %d                 \r", k);
    Grid tab(thinned.rows, thinned.cols, 0);
    for (int i = 0; i < thinned.rows; ++i) {
      for (int j = 0; j < thinned.cols; ++j) {
        if (result.out.at(i, j) == k) tab.at(i, j) = 1;
      }
    }
    for (int i = 1; i <= thinned.rows - 2; ++i) {
      for (int j = 1; j <= thinned.cols - 2; ++j) {
        if (tab.at(i, j) != 1) continue;
        int present = 0;
        for (int n = 0; n < 8; ++n) {
          if (tab.at(i + drow[n], j + dcol[n]) == 1) present += 1;
        }
        if (present == 1) tab.at(i, j) = 255;
      }
    }
    for (int i = 0; i < thinned.rows; ++i) {
      for (int j = 0; j < thinned.cols; ++j) {
        if (tab.at(i, j) == 1) result.out.at(i, j) = k;
        if (tab.at(i, j) == 255) result.out.at(i, j) = 255;
      }
    }
  }
  return result;
}

Deburred treat(const Thinned& thinned, int answer) {
  Deburred result{thinned.out, thinned.transcript};
  result.transcript += "\n\n\tebarbulation (one point) : \n\t\t0 ====> yes\n\t\t1 ====> no\n\t\t";
  if (answer != 0) return result;
  const Deburred deburred = deburr(thinned.out, thinned.minval, thinned.maxval);
  result.out = deburred.out;
  result.transcript += deburred.transcript;
  return result;
}

}  // namespace model
