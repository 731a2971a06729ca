#include "script/engine/builtins.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "script/engine/bytecode.h"

namespace qm::script {

namespace {

std::string Str(const Value& v) {
  return std::string(StrOf(Target(v)));
}

void CheckSize(std::size_t n) {
  if (n > kMaxStringSize) throw ScriptError("Out of memory: string too long");
}

// Writable string behind a reference, unshared first.
std::string& MutableStr(Value& ref) {
  Value& v = Target(ref);
  if (!v.o) {
    SetObj(v, new StrObj());
  } else if (v.o->rc > 1) {
    auto* copy = new StrObj(static_cast<StrObj*>(v.o)->s);
    SetObj(v, copy);
  }
  return static_cast<StrObj*>(v.o)->s;
}

void Normalize(Value& ref) {
  Value& v = Target(ref);
  if (v.o && static_cast<StrObj*>(v.o)->s.empty()) SetObj(v, nullptr);
}

bool ParseInt(std::string_view s, std::int64_t& out) {
  std::size_t i = 0, n = s.size();
  while (i < n && s[i] == ' ') ++i;
  while (n > i && s[n - 1] == ' ') --n;
  bool neg = false;
  if (i < n && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  if (i >= n) return false;
  std::uint64_t v = 0;
  if (s[i] == '$' || (s[i] == '0' && i + 1 < n && (s[i + 1] == 'x' || s[i + 1] == 'X'))) {
    i += s[i] == '$' ? 1 : 2;
    if (i >= n) return false;
    for (; i < n; ++i) {
      const int c = std::tolower(static_cast<unsigned char>(s[i]));
      int d;
      if (c >= '0' && c <= '9')
        d = c - '0';
      else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      else
        return false;
      if (v >> 60) return false;
      v = v * 16 + static_cast<std::uint64_t>(d);
    }
  } else {
    for (; i < n; ++i) {
      if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
      if (v > 922337203685477580ull) return false;
      v = v * 10 + static_cast<std::uint64_t>(s[i] - '0');
    }
    if (v > static_cast<std::uint64_t>(INT64_MAX) + (neg ? 1 : 0)) return false;
  }
  out = neg ? static_cast<std::int64_t>(0 - v) : static_cast<std::int64_t>(v);
  return true;
}

// Days since 1899-12-30, the usual TDateTime epoch, in local time.
double NowValue() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  const double ms =
      static_cast<double>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  // Days from the epoch to the local calendar date.
  std::tm base{};
  base.tm_year = tm.tm_year;
  base.tm_mon = tm.tm_mon;
  base.tm_mday = tm.tm_mday;
  base.tm_hour = 12;
  const std::time_t day = timegm(&base);
  const double days = std::floor(static_cast<double>(day) / 86400.0) + 25569.0;
  return days + (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec + ms / 1000.0) / 86400.0;
}

struct DateParts {
  int year, month, day, hour, minute, second, ms;
};

DateParts Split(double dt) {
  double days = std::floor(dt);
  double frac = dt - days;
  if (!std::isfinite(dt) || std::fabs(dt) > 3e6) throw ScriptError("Invalid date value");
  const auto unix_days = static_cast<std::int64_t>(days) - 25569;
  std::time_t t = static_cast<std::time_t>(unix_days * 86400);
  std::tm tm{};
  gmtime_r(&t, &tm);
  auto total_ms = static_cast<std::int64_t>(std::llround(frac * 86400000.0));
  if (total_ms >= 86400000) total_ms = 86399999;
  DateParts p{tm.tm_year + 1900,
              tm.tm_mon + 1,
              tm.tm_mday,
              static_cast<int>(total_ms / 3600000),
              static_cast<int>(total_ms / 60000 % 60),
              static_cast<int>(total_ms / 1000 % 60),
              static_cast<int>(total_ms % 1000)};
  return p;
}

std::string FormatDate(std::string_view fmt, double dt) {
  const DateParts p = Split(dt);
  std::string out;
  auto two = [](int v) {
    char b[16];
    std::snprintf(b, sizeof b, "%02d", v);
    return std::string(b);
  };
  std::size_t i = 0;
  auto run = [&](char c) {
    std::size_t n = 0;
    while (i + n < fmt.size() && std::tolower(static_cast<unsigned char>(fmt[i + n])) == c) ++n;
    return n;
  };
  bool after_hour = false;
  while (i < fmt.size()) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(fmt[i])));
    if (fmt[i] == '\'' || fmt[i] == '"') {
      const char q = fmt[i++];
      while (i < fmt.size() && fmt[i] != q) out += fmt[i++];
      ++i;
      continue;
    }
    std::size_t n = run(c);
    switch (c) {
      case 'y':
        out += n <= 2 ? two(p.year % 100) : std::to_string(p.year);
        break;
      case 'm':
        if (after_hour) {
          out += n >= 2 ? two(p.minute) : std::to_string(p.minute);
        } else {
          out += n >= 2 ? two(p.month) : std::to_string(p.month);
        }
        break;
      case 'd':
        out += n >= 2 ? two(p.day) : std::to_string(p.day);
        break;
      case 'h':
        out += n >= 2 ? two(p.hour) : std::to_string(p.hour);
        after_hour = true;
        break;
      case 'n':
        out += n >= 2 ? two(p.minute) : std::to_string(p.minute);
        break;
      case 's':
        out += n >= 2 ? two(p.second) : std::to_string(p.second);
        break;
      case 'z': {
        char b[16];
        std::snprintf(b, sizeof b, n >= 3 ? "%03d" : "%d", p.ms);
        out += b;
        break;
      }
      default:
        out.append(fmt.substr(i, n));
        if (c != ':' && c != ' ') after_hour = after_hour && c == ':';
        break;
    }
    if (c != 'h' && c != ':' && c != 'm') after_hour = false;
    i += n;
  }
  return out;
}

}  // namespace

std::string FormatFloat(double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  std::string s = buf;
  const auto e = s.find('e');
  if (e != std::string::npos) {
    std::string mant = s.substr(0, e);
    std::string ex = s.substr(e + 1);
    bool neg = ex[0] == '-';
    std::size_t k = (ex[0] == '+' || ex[0] == '-') ? 1 : 0;
    while (k + 1 < ex.size() && ex[k] == '0') ++k;
    s = mant + "E" + (neg ? "-" : "") + ex.substr(k);
  }
  return s;
}

std::string FormatText(std::string_view fmt, const Value* args, std::size_t count) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] != '%') {
      out += fmt[i];
      continue;
    }
    if (i + 1 < fmt.size() && fmt[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    std::string conversion = "%";
    if (j < fmt.size() && fmt[j] == '-') conversion += fmt[j++];
    int width = 0;
    while (j < fmt.size() && std::isdigit(static_cast<unsigned char>(fmt[j])) && width < 1000)
      width = width * 10 + (fmt[j++] - '0');
    int prec = -1;
    if (j < fmt.size() && fmt[j] == '.') {
      ++j;
      prec = 0;
      while (j < fmt.size() && std::isdigit(static_cast<unsigned char>(fmt[j])) && prec < 100)
        prec = prec * 10 + (fmt[j++] - '0');
    }
    if (j >= fmt.size()) throw ScriptError("Format '" + std::string(fmt) + "' invalid");
    const char conv = static_cast<char>(std::tolower(static_cast<unsigned char>(fmt[j])));
    if (next >= count)
      throw ScriptError("Format '" + std::string(fmt) + "' invalid or incompatible with argument");
    const std::int64_t code = args[2 * next].i;
    const Value& v = args[2 * next + 1];
    ++next;
    if (width) conversion += std::to_string(width);
    std::string piece;
    char buf[512];
    auto need = [&](bool ok) {
      if (!ok)
        throw ScriptError("Format '" + std::string(fmt) +
                          "' invalid or incompatible with argument");
    };
    switch (conv) {
      case 'd':
      case 'u':
        need(code == 0);
        std::snprintf(buf, sizeof buf, (conversion + "lld").c_str(), static_cast<long long>(v.i));
        piece = buf;
        break;
      case 'x':
        need(code == 0);
        std::snprintf(buf, sizeof buf, (conversion + "llX").c_str(),
                      static_cast<unsigned long long>(v.i));
        piece = buf;
        break;
      case 'f':
      case 'e':
      case 'g':
      case 'n': {
        need(code == 1 || code == 0);
        const double d = code == 0 ? static_cast<double>(v.i) : v.d;
        const int p = prec < 0 ? (conv == 'g' ? 15 : 2) : prec;
        std::snprintf(buf, sizeof buf,
                      (conversion + "." + std::to_string(p) + (conv == 'n' ? 'f' : conv)).c_str(), d);
        piece = buf;
        break;
      }
      case 's': {
        std::string s;
        if (code == 2)
          s = std::string(StrOf(v));
        else if (code == 3)
          s = std::string(1, static_cast<char>(v.i));
        else if (code == 4)
          s = v.i ? "True" : "False";
        else
          need(false);
        if (prec >= 0 && static_cast<std::size_t>(prec) < s.size())
          s.resize(static_cast<std::size_t>(prec));
        const bool left = conversion.size() > 1 && conversion[1] == '-';
        if (static_cast<int>(s.size()) < width) {
          const std::string pad(static_cast<std::size_t>(width) - s.size(), ' ');
          s = left ? s + pad : pad + s;
        }
        piece = s;
        break;
      }
      default:
        throw ScriptError("Format '" + std::string(fmt) +
                          "' invalid or incompatible with argument");
    }
    out += piece;
    CheckSize(out.size());
    i = j;
  }
  return out;
}

bool IsAggregateObj(const Obj* o) {
  return o && o->kind == ObjKind::kArray && static_cast<const ArrObj*>(o)->aggregate;
}

Obj* NewAggregate(const Program& program, int layout) {
  const Layout& l = program.layouts[static_cast<std::size_t>(layout)];
  auto* a = new ArrObj();
  a->aggregate = true;
  const std::size_t n = l.elems.size() * static_cast<std::size_t>(l.repeat);
  a->v.assign(n, Value{{0}, 0});
  for (std::size_t i = 0; i < n; ++i) {
    const int sub = l.elems[i % l.elems.size()];
    if (sub >= 0) SetObj(a->v[i], NewAggregate(program, sub));
  }
  return a;
}

Obj* CloneAggregate(const Obj* src) {
  if (!src) return nullptr;
  const auto* s = static_cast<const ArrObj*>(src);
  auto* a = new ArrObj();
  a->aggregate = s->aggregate;
  a->v.assign(s->v.size(), Value{{0}, 0});
  for (std::size_t i = 0; i < s->v.size(); ++i) {
    const Value& e = s->v[i];
    if (e.meta == kOwns && IsAggregateObj(e.o))
      SetObj(a->v[i], CloneAggregate(e.o));
    else
      CopyValue(a->v[i], e);
  }
  return a;
}

void CallBuiltin(Builtin id, Value* f, int nargs, int extra, BuiltinContext& ctx) {
  (void)nargs;
  Value& r = f[0];
  switch (id) {
    case Builtin::kIntToStr:
    case Builtin::kInt64ToStr:
      SetStr(r, std::to_string(f[1].i));
      return;
    case Builtin::kBoolToStr:
      SetStr(r, f[1].i ? "True" : "False");
      return;
    case Builtin::kStrToInt: {
      std::int64_t v;
      const std::string s = Str(f[1]);
      if (!ParseInt(s, v)) throw ScriptError("'" + s + "' is not a valid integer value");
      SetScalar(r, v);
      return;
    }
    case Builtin::kStrToIntDef: {
      std::int64_t v;
      SetScalar(r, ParseInt(Str(f[1]), v) ? v : f[2].i);
      return;
    }
    case Builtin::kFloatToStr:
      SetStr(r, FormatFloat(f[1].d));
      return;
    case Builtin::kStrToFloat: {
      const std::string s = Str(f[1]);
      char* end = nullptr;
      const double d = std::strtod(s.c_str(), &end);
      std::string_view rest(end);
      while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
      if (s.empty() || end == s.c_str() || !rest.empty())
        throw ScriptError("'" + s + "' is not a valid floating point value");
      SetReal(r, d);
      return;
    }
    case Builtin::kIntToHex: {
      const int digits = static_cast<int>(std::clamp<std::int64_t>(f[2].i, 0, 32));
      char buf[64];
      std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(f[1].i));
      SetStr(r, buf);
      return;
    }
    case Builtin::kFormat: {
      const auto* arr = static_cast<const ArrObj*>(f[2].o);
      SetStr(r,
             FormatText(StrOf(f[1]), arr ? arr->v.data() : nullptr, arr ? arr->v.size() / 2 : 0));
      return;
    }
    case Builtin::kLengthS:
      SetScalar(r, static_cast<std::int64_t>(StrOf(f[1]).size()));
      return;
    case Builtin::kLengthA:
      SetScalar(r, f[1].o ? static_cast<std::int64_t>(static_cast<ArrObj*>(f[1].o)->v.size()) : 0);
      return;
    case Builtin::kHighA:
      SetScalar(
          r, (f[1].o ? static_cast<std::int64_t>(static_cast<ArrObj*>(f[1].o)->v.size()) : 0) - 1);
      return;
    case Builtin::kSetLengthS: {
      const std::int64_t n = f[2].i;
      if (n < 0) throw ScriptError("Invalid string length");
      CheckSize(static_cast<std::size_t>(n));
      MutableStr(f[1]).resize(static_cast<std::size_t>(n), ' ');
      Normalize(f[1]);
      return;
    }
    case Builtin::kSetLengthA: {
      const std::int64_t n = f[2].i;
      if (n < 0 || n > kMaxArrayLength)
        throw ScriptError("Out of memory: array length " + std::to_string(n));
      Value& v = Target(f[1]);
      auto* a = static_cast<ArrObj*>(v.o);
      if (n == 0) {
        SetObj(v, nullptr);
        return;
      }
      if (!a) {
        a = new ArrObj();
        SetObj(v, a);
      } else if (a->rc > 1) {
        // Shared (another variable, or a reference into it): this one gets its own copy.
        auto* copy = static_cast<ArrObj*>(CloneAggregate(a));
        copy->aggregate = false;
        SetObj(v, copy);
        a = copy;
      }
      const std::size_t old = a->v.size();
      if (static_cast<std::size_t>(n) < old) {
        for (std::size_t i = static_cast<std::size_t>(n); i < old; ++i) Release(a->v[i]);
      }
      a->v.resize(static_cast<std::size_t>(n), Value{{0}, 0});
      if (extra >= 0 && ctx.program)
        for (std::size_t i = old; i < a->v.size(); ++i)
          SetObj(a->v[i], NewAggregate(*ctx.program, extra));
      return;
    }
    case Builtin::kCopy: {
      std::string_view s = StrOf(f[1]);
      std::int64_t i = f[2].i, n = f[3].i;
      if (i < 1) i = 1;
      if (n < 0 || i > static_cast<std::int64_t>(s.size())) {
        SetObj(r, nullptr);
        return;
      }
      const auto start = static_cast<std::size_t>(i - 1);
      SetStr(r, std::string(s.substr(
                    start, static_cast<std::size_t>(std::min<std::int64_t>(n, INT32_MAX)))));
      return;
    }
    case Builtin::kCopyA:
      return;
    case Builtin::kPos: {
      std::string_view sub = StrOf(f[1]), s = StrOf(f[2]);
      if (sub.empty()) {
        SetScalar(r, 0);
        return;
      }
      const auto p = s.find(sub);
      SetScalar(r, p == std::string_view::npos ? 0 : static_cast<std::int64_t>(p) + 1);
      return;
    }
    case Builtin::kDelete: {
      const std::int64_t len = static_cast<std::int64_t>(StrOf(Target(f[1])).size());
      std::int64_t i = f[2].i, n = f[3].i;
      if (i < 1 || i > len || n <= 0) return;
      n = std::min(n, len - i + 1);
      MutableStr(f[1]).erase(static_cast<std::size_t>(i - 1), static_cast<std::size_t>(n));
      Normalize(f[1]);
      return;
    }
    case Builtin::kInsert: {
      const std::string src = Str(f[1]);
      if (src.empty()) return;
      const std::int64_t len = static_cast<std::int64_t>(StrOf(Target(f[2])).size());
      std::int64_t i = std::clamp<std::int64_t>(f[3].i, 1, len + 1);
      CheckSize(static_cast<std::size_t>(len) + src.size());
      MutableStr(f[2]).insert(static_cast<std::size_t>(i - 1), src);
      return;
    }
    case Builtin::kUpperCase:
    case Builtin::kLowerCase: {
      std::string s = Str(f[1]);
      for (auto& c : s)
        c = static_cast<char>(id == Builtin::kUpperCase
                                  ? std::toupper(static_cast<unsigned char>(c))
                                  : std::tolower(static_cast<unsigned char>(c)));
      SetStr(r, std::move(s));
      return;
    }
    case Builtin::kTrim:
    case Builtin::kTrimLeft:
    case Builtin::kTrimRight: {
      std::string_view s = StrOf(f[1]);
      std::size_t a = 0, b = s.size();
      if (id != Builtin::kTrimRight)
        while (a < b && static_cast<unsigned char>(s[a]) <= ' ') ++a;
      if (id != Builtin::kTrimLeft)
        while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
      SetStr(r, std::string(s.substr(a, b - a)));
      return;
    }
    case Builtin::kStringOfChar: {
      const std::int64_t n = f[2].i;
      if (n <= 0) {
        SetObj(r, nullptr);
        return;
      }
      CheckSize(static_cast<std::size_t>(n));
      SetStr(r, std::string(static_cast<std::size_t>(n), static_cast<char>(f[1].i)));
      return;
    }
    case Builtin::kAbsI:
      SetScalar(r, f[1].i < 0 ? static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(f[1].i))
                              : f[1].i);
      return;
    case Builtin::kAbsF:
      SetReal(r, std::fabs(f[1].d));
      return;
    case Builtin::kSqrt:
      if (f[1].d < 0) throw ScriptError("Invalid floating point operation");
      SetReal(r, std::sqrt(f[1].d));
      return;
    case Builtin::kRound:
    case Builtin::kTrunc: {
      const double d = id == Builtin::kRound ? std::nearbyint(f[1].d) : std::trunc(f[1].d);
      if (!(d >= -9.2e18 && d <= 9.2e18)) throw ScriptError("Invalid floating point operation");
      SetScalar(r, static_cast<std::int64_t>(d));
      return;
    }
    case Builtin::kInt:
      SetReal(r, std::trunc(f[1].d));
      return;
    case Builtin::kFrac:
      SetReal(r, f[1].d - std::trunc(f[1].d));
      return;
    case Builtin::kSin:
      SetReal(r, std::sin(f[1].d));
      return;
    case Builtin::kCos:
      SetReal(r, std::cos(f[1].d));
      return;
    case Builtin::kArcTan:
      SetReal(r, std::atan(f[1].d));
      return;
    case Builtin::kExp:
      SetReal(r, std::exp(f[1].d));
      return;
    case Builtin::kLn:
      if (f[1].d <= 0) throw ScriptError("Invalid floating point operation");
      SetReal(r, std::log(f[1].d));
      return;
    case Builtin::kPower:
      SetReal(r, std::pow(f[1].d, f[2].d));
      return;
    case Builtin::kMinI:
      SetScalar(r, std::min(f[1].i, f[2].i));
      return;
    case Builtin::kMaxI:
      SetScalar(r, std::max(f[1].i, f[2].i));
      return;
    case Builtin::kMinF:
      SetReal(r, std::min(f[1].d, f[2].d));
      return;
    case Builtin::kMaxF:
      SetReal(r, std::max(f[1].d, f[2].d));
      return;
    case Builtin::kNow:
      SetReal(r, NowValue());
      return;
    case Builtin::kDate:
      SetReal(r, std::floor(NowValue()));
      return;
    case Builtin::kTime: {
      const double n = NowValue();
      SetReal(r, n - std::floor(n));
      return;
    }
    case Builtin::kFormatDateTime:
      SetStr(r, FormatDate(StrOf(f[1]), f[2].d));
      return;
    case Builtin::kDateToStr:
      SetStr(r, FormatDate("yyyy-mm-dd", f[1].d));
      return;
    case Builtin::kTimeToStr:
      SetStr(r, FormatDate("hh:nn:ss", f[1].d));
      return;
    case Builtin::kSleep: {
      // Sleeps in short slices so that a stop request is not held up.
      auto left = std::chrono::milliseconds(std::max<std::int64_t>(f[1].i, 0));
      while (left.count() > 0) {
        if (ctx.stop && ctx.stop->load(std::memory_order_relaxed)) return;
        const auto step = std::min(left, std::chrono::milliseconds(10));
        std::this_thread::sleep_for(step);
        left -= step;
      }
      return;
    }
  }
}

}  // namespace qm::script
