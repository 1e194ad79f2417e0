#include "platforms/qt/StartupNotice.h"

#include <unistd.h>

#include <QMessageBox>
#include <QString>
#include <filesystem>
#include <system_error>

#include "console/Settings.h"
#include "platforms/qt/SettingsLocation.h"
#include "runtime/Utf8.h"

namespace norvik {

bool StartedWithoutTerminal()
{
    return !::isatty(STDIN_FILENO) && !::isatty(STDOUT_FILENO) && !::isatty(STDERR_FILENO);
}

void StartupNotice::Report(const std::string& line)
{
    std::fprintf(err_, "%s\n", line.c_str());
    std::fflush(err_);
    if (showBoxes_)
        QMessageBox::warning(nullptr, QStringLiteral("Norvik"), QString::fromStdString(line));
}

std::wstring UnwritableSettingsFile(Runtime& base, const RelocatedSettingsRuntime* relocated)
{
    const std::wstring path = relocated ? relocated->To() : BuildSettingsPath(base);
    if (path.empty())
        return path;
    const std::filesystem::path file(WideToUtf8(path));
    if (relocated) {
        std::error_code ignored;  // a directory that cannot be made fails the check below
        std::filesystem::create_directories(file.parent_path(), ignored);
    }
    const bool fileWritable = ::access(file.c_str(), F_OK) != 0 || ::access(file.c_str(), W_OK) == 0;
    return DirectoryOfPathWritable(path) && fileWritable ? std::wstring() : path;
}

std::string UnwritableSettingsLine(const std::wstring& path)
{
    return "norvik: the settings file " + WideToUtf8(path) +
           " cannot be written; settings changed in this session will not be kept";
}

}  // namespace norvik
