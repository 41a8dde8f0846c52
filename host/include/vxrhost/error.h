// How the host library reports a failure: a status, a message that names the
// object (`cannot load module "VXRGOAAL"`, `cannot open database "x.db"`) and,
// where it helps, a detail that says why (`no such file`, `file is not a
// database`). text() joins them on one line; control characters in names are
// quoted by inQuotes(), so a message never spans lines.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace vxrhost {

struct Error {
  int32_t status = 0;   // 0: no failure
  std::string message;  // what failed, naming the object
  std::string detail;   // why, or empty

  bool failed() const { return status != 0; }
  // Records a failure and returns its status, so a caller can write
  // `return error.set(...)`.
  int32_t set(int32_t failure, std::string what, std::string why = {}) {
    status = failure;
    message = std::move(what);
    detail = std::move(why);
    return failure;
  }
  void clear() { *this = Error{}; }
  // "message: detail", or the message alone.
  std::string text() const { return detail.empty() ? message : message + ": " + detail; }
};

inline std::ostream& operator<<(std::ostream& out, const Error& error) {
  return out << error.text();
}

// `text` with backslash, double quote and control characters escaped (\n,
// \r, \t, \", \\, \xNN); other bytes as they are.
inline std::string escaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (u < 0x20 || u == 0x7f) {
          out += "\\x";
          out += kHex[u >> 4];
          out += kHex[u & 15];
        } else {
          out += c;
        }
    }
  }
  return out;
}

// `text` with control characters alone escaped (\n, \r, \t, \xNN), for a
// message line: quotes and backslashes stay as they are.
inline std::string controlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    auto u = static_cast<unsigned char>(text[i]);
    if (u < 0x20 || u == 0x7f) {
      out += escaped(text.substr(i, 1));
    } else {
      out += text[i];
    }
  }
  return out;
}

// `text` escaped and between double quotes. Built by appending: g++ 12
// reports a false -Wrestrict at -O2 and above on `"\"" + text + "\""`.
inline std::string inQuotes(std::string_view text) {
  std::string out(1, '"');
  out.append(escaped(text));
  out.push_back('"');
  return out;
}

}  // namespace vxrhost
