#include "container_test_support.h"

#include <memory>

#include "util/win/temp_names.h"

PackSource InnerProbe(const std::string& memberName) {
  return {memberName, ReadHostFile(PLOVE_INNER_PROBE_PATH)};
}

std::vector<PackSource> ContainerPayload(const std::string& script, std::vector<PackSource> members) {
  members.insert(members.begin(), PackSource{"setup.dat", Bytes(script)});
  return members;
}

ScopedVariable::ScopedVariable(const wchar_t* name, const WideString& value) : name_(name) {
  wchar_t buffer[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
  had_ = length > 0 && length < 1024;
  if (had_) previous_ = WideString(buffer);
  SetEnvironmentVariableW(name, value.IsEmpty() ? nullptr : value.W());
}

ScopedVariable::~ScopedVariable() { SetEnvironmentVariableW(name_, had_ ? previous_.W() : nullptr); }

ContainerProcess::ContainerProcess(const WideString& exe, const WideString& arguments,
                                   const std::vector<int>& answers, bool rightShiftDown) {
  ScopedVariable log(L"PLOVE_TEST_INNER_LOG", folder_ / u"inner.txt");
  ScopedVariable shift(L"PLOVE_TEST_RIGHT_SHIFT", rightShiftDown ? u"1" : u"0");
  process_ = std::make_unique<SetupProcess>(exe, arguments, answers);
}

std::vector<InnerStart> ContainerProcess::Starts() const {
  std::vector<InnerStart> starts;
  const std::string bytes = FileBytes(folder_ / u"inner.txt");
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = bytes.substr(start, end - start);
    start = end + 2;
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    // "<temporary name>-<member>": the temporary part holds no "-".
    const std::string file = line.substr(0, tab);
    const size_t dash = file.find('-');
    starts.push_back({dash == std::string::npos ? file : file.substr(dash + 1), line.substr(tab + 1)});
  }
  return starts;
}

std::vector<WideString> ExtractedCopies() { return NamesIn(TempFolder(), WideString(u"*.tmp-*"), false); }
