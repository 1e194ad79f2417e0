// Plays operator actions on the dialog (on the in-memory host) and writes
// the bytes its save writes to standard output, for the Python module's
// tests to compare with what the module saves.
//
// Usage: norvik_dialog_csv SCENARIO.json ACTION...
//   pick:N        choose item N of the unit list (opens it)
//   type:TEXT     type TEXT into the unit list and press Open
//   get:CS        GET control CS
//   hex:CS:DATA   SET control CS with hex pairs DATA
//   text:CS:DATA  SET control CS with text DATA
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "apps/DialogSession.h"
#include "runtime/Utf8.h"

using namespace norvik;
using norvik::testing::DialogSession;

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: norvik_dialog_csv SCENARIO.json ACTION...\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::string scenario((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (scenario.empty()) {
        std::fprintf(stderr, "norvik_dialog_csv: cannot read %s\n", argv[1]);
        return 2;
    }
    DialogSession dialog(scenario);
    MemoryDialog& w = dialog.Window();
    for (int i = 2; i < argc; ++i) {
        const std::string action = argv[i];
        const std::size_t colon = action.find(':');
        const std::string verb = action.substr(0, colon);
        const std::string rest = colon == std::string::npos ? "" : action.substr(colon + 1);
        const std::size_t second = rest.find(':');
        const std::wstring cs = Utf8ToWide(rest.substr(0, second));
        const std::wstring data = second == std::string::npos ? L"" : Utf8ToWide(rest.substr(second + 1));
        if (verb == "pick") {
            w.ChooseItem(ids::kPicker, std::stoi(rest));
        } else if (verb == "type") {
            w.TypeText(ids::kPicker, Utf8ToWide(rest));
            w.Click(ids::kOpenButton);
        } else if (verb == "get") {
            dialog.Transfer(ids::kGetButton, cs);
        } else if (verb == "hex" || verb == "text") {
            dialog.Transfer(ids::kSetButton, cs, verb == "hex", data);
        } else {
            std::fprintf(stderr, "norvik_dialog_csv: unknown action %s\n", action.c_str());
            return 2;
        }
    }
    const std::string csv = dialog.SavedLog();
    std::fwrite(csv.data(), 1, csv.size(), stdout);
    return csv.empty() ? 1 : 0;
}
