#pragma once
// What the files of the Qt dialog window share: Windows values the host
// answers with, and the conversions between the framework's texts and
// rectangles and Qt's.

#include <QRect>
#include <QString>

#include <cstdint>
#include <string>

#include "framework/DialogHost.h"
#include "framework/DialogTemplates.h"

namespace norvik::qtsupport {

inline constexpr std::uint32_t kButtonTypeMask = 0xF;
inline constexpr std::uint32_t kStaticTypeMask = 0x1F;
inline constexpr std::uint32_t kDisabled = 0x08000000;      // WS_DISABLED
inline constexpr std::uint32_t kScMinimize = 0xF020;        // SC_MINIMIZE
inline constexpr std::uint32_t kScRestore = 0xF120;         // SC_RESTORE
inline constexpr std::intptr_t kHtTransparent = -1;         // HTTRANSPARENT
inline constexpr std::uint32_t kCbErr = 0xFFFFFFFFu;        // CB_ERR as item data
inline constexpr std::uint32_t kLvsExGridLines = 0x1;       // LVS_EX_GRIDLINES
inline constexpr std::uint32_t kLvsExFullRowSelect = 0x20;  // LVS_EX_FULLROWSELECT
inline constexpr std::uint32_t kMbIconMask = 0xF0;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kMbIconQuestion = 0x20;
inline constexpr std::uint32_t kMbIconInformation = 0x40;
inline constexpr int kMainIconResource = 128;

inline QString ToQt(const std::wstring& text) { return QString::fromStdWString(text); }
inline std::wstring FromQt(const QString& text) { return text.toStdWString(); }

inline bool IsPushButton(std::uint32_t style)
{
    const std::uint32_t type = style & kButtonTypeMask;
    return type == style::kBsPushButton || type == style::kBsDefPushButton;
}

inline bool IsCheckBox(std::uint32_t style)
{
    // BS_CHECKBOX, BS_AUTOCHECKBOX, BS_3STATE, BS_AUTO3STATE
    const std::uint32_t type = style & kButtonTypeMask;
    return type == 0x2 || type == 0x3 || type == 0x5 || type == 0x6;
}

// The multi-line edit's text uses CR LF line breaks, as the framework reads
// and writes it; Qt holds bare line feeds.
inline QString ToEditLines(const std::wstring& text)
{
    QString lines = ToQt(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return lines;
}

inline std::wstring FromEditLines(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return FromQt(lines);
}

inline Rect ToRect(const QRect& rect)
{
    return Rect{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

}  // namespace norvik::qtsupport
