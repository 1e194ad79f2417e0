#pragma once
// The fixtures of the --log tests: a bench scenario in the scratch
// directory, and the log writer run in this process.
#include <string>
#include <vector>

#include "CtlRunner.h"
#include "platforms/sim/FakeRuntime.h"

namespace norvik::testing {

inline const std::string kHeader = "Line, Direct, Data(HEX), Data(String), Device, XU guid, \r\n";
inline const std::string kGuidA = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
// What `get --device 0 --unit 1 --cs 1` logs after its line number.
inline const std::string kRowTail = ", GET CS=1, 78 79 7A, xyz, Bench Camera, " + kGuidA + ", \r\n";

class LogFileTest : public CtlTest {
protected:
    void SetUp() override
    {
        CtlTest::SetUp();
        bench_ = WriteFile("bench.json", kBenchScenario);
    }

    CtlResult Get(const std::string& logPath, const std::string& repeat = "1") const
    {
        return Run({"get", "--device", "0", "--unit", "1", "--cs", "1", "--repeat", repeat, "--log", logPath},
                   bench_);
    }

    std::string bench_;
};

// The log writer in this process, for failures a separate run cannot be
// made to meet at the right moment.
class CsvLogTest : public CtlTest {
protected:
    FakeRuntime runtime_;
    const std::vector<std::wstring> row_ = {L"1", L"GET CS=1", L"78 79 7A", L"xyz", L"Bench Camera", L"{x}"};
};

}  // namespace norvik::testing
