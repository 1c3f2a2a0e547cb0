// Reads pathological inputs far larger than the fuzzers' at two sizes, four
// times apart, each in a child process, and prints the time and the peak
// memory each took: both should grow about four times, not sixteen, and
// stay a small multiple of the input.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/Registry.h"
#include "services/soap/XmlReader.h"

namespace {

std::string Repeat(const std::string& s, size_t n) {
  std::string r;
  r.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i)
    r += s;
  return r;
}

void Measure(const char* name, const std::function<std::string(size_t)>& make,
             const std::function<void(std::string)>& read) {
  for (const size_t n : {size_t{200000}, size_t{800000}}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::string input = make(n);
      const size_t size = input.size();
      rusage before{}, after{};
      ::getrusage(RUSAGE_SELF, &before);
      const auto start = std::chrono::steady_clock::now();
      std::string outcome = "read";
      try {
        read(std::move(input));
      } catch (const std::exception& e) {
        outcome = std::string(e.what()).substr(0, 50);
      }
      const std::chrono::duration<double, std::milli> took =
          std::chrono::steady_clock::now() - start;
      ::getrusage(RUSAGE_SELF, &after);
      std::printf("%-20s %10zu bytes %9.1f ms %9ld KB  %s\n", name, size, took.count(),
                  after.ru_maxrss - before.ru_maxrss, outcome.c_str());
      std::fflush(stdout);
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
}

void Xml(const char* name, const std::function<std::string(size_t)>& make) {
  Measure(name, make,
          [](std::string bytes) { movrano::soap::XmlDocument::Parse(std::move(bytes)); });
}

void Reg(const char* name, const std::function<std::string(size_t)>& make) {
  Measure(name, make, [](std::string bytes) { movrano::RegistryContent::Parse(bytes); });
}

std::string Numbered(const char* before, const char* after, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i)
    s += before + std::to_string(i) + after;
  return s;
}

}  // namespace

int main() {
  Xml("xml deep", [](size_t n) { return Repeat("<a>", n) + Repeat("</a>", n); });
  Xml("xml deep prefixed",
      [](size_t n) { return Repeat("<p:a xmlns:p='u'>", n) + Repeat("</p:a>", n); });
  Xml("xml attributes", [](size_t n) { return "<a" + Numbered(" a", "=''", n) + "/>"; });
  Xml("xml declarations", [](size_t n) {
    std::string s = "<a";
    for (size_t i = 0; i < n; ++i)
      s += " xmlns:p" + std::to_string(i) + "='u" + std::to_string(i) + "' p" + std::to_string(i) +
           ":x=''";
    return s + "/>";
  });
  Xml("xml siblings", [](size_t n) { return "<r>" + Repeat("<a/>", n) + "</r>"; });
  // The same behind a byte-order mark, which is skipped, not cut off.
  Xml("xml marked siblings",
      [](size_t n) { return "\xEF\xBB\xBF<r>" + Repeat("<a/>", n) + "</r>"; });
  // One long URI, and elements of eight attributes in its namespace.
  Xml("xml long namespace", [](size_t n) {
    return "<r xmlns:p='urn:" + std::string(4 * n, 'u') + "'>" +
           Repeat("<e p:a='' p:b='' p:c='' p:d='' p:e='' p:f='' p:g='' p:h=''/>", n / 16) + "</r>";
  });
  Xml("xml text chunks", [](size_t n) { return "<r>" + Repeat("x<!---->", n) + "</r>"; });
  Xml("xml references", [](size_t n) { return "<r>" + Repeat("&amp;&#x10FFFF;", n) + "</r>"; });
  Xml("xml open comments", [](size_t n) { return "<r>" + Repeat("<!--", n); });
  Xml("xml open values", [](size_t n) { return "<r" + Repeat(" a='", n); });
  Xml("xml latin-1", [](size_t n) {
    return "<?xml version='1.0' encoding='ISO-8859-1'?><r>" + Repeat("\xE9", n) + "</r>";
  });
  Reg("reg blank lines", [](size_t n) { return "REGEDIT4\n" + Repeat("\n", 10 * n); });
  Reg("reg keys",
      [](size_t n) { return "REGEDIT4\n" + Numbered("[HKEY_LOCAL_MACHINE\\k", "]\n", n); });
  Reg("reg deep key",
      [](size_t n) { return "REGEDIT4\n[HKEY_LOCAL_MACHINE" + Repeat("\\a", n) + "]\n"; });
  Reg("reg values", [](size_t n) {
    return "REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n" + Numbered("\"v", "\"=\"x\"\n", n);
  });
  Reg("reg continued hex", [](size_t n) {
    return "REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"v\"=hex:" + Repeat("00,\\\n", n) + "00\n";
  });
}
