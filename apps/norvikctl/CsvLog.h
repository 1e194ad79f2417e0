#pragma once
// The --log file: transfer rows appended in the CSV form the dialog saves its
// transfer log in. A new (or empty) file gets the header line first. Line
// numbers carry on from the records already in the file, so that a file
// filled by several runs reads like one session of the dialog.

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Runtime.h"

namespace norvik::ctl {

// How many records a log file already holds: the lines after the first
// (the header) whose first field is the next number in sequence from 1. A
// cell's own line break cannot start a counted line unless it happens to be
// followed by exactly that number and ", ".
unsigned CountLoggedRecords(std::string_view contents);

class CsvLog {
public:
    // Opens (or creates) the file for appending and writes the header when
    // the file is empty. Fails with exit status 1 when it cannot.
    CsvLog(Runtime& runtime, const std::string& path);

    // The number the next record gets.
    unsigned NextLine() const { return nextLine_; }
    // Writes one record and flushes it, so that an interrupted run keeps
    // every row written so far. Fails with exit status 1 on a write error.
    void Append(const std::vector<std::wstring>& cells);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    void Write(const std::string& bytes);

    Runtime& runtime_;
    std::string path_;
    std::unique_ptr<std::FILE, Closer> file_;
    unsigned nextLine_ = 1;
};

}  // namespace norvik::ctl
