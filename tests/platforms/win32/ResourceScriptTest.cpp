// The compiled resources agree with the control table the other dialog hosts
// build their dialogs from: the templates are read back from the module the
// resource compiler wrote and compared field by field.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/DialogTemplates.h"
#include "framework/ResourceIds.h"
#include "tests/platforms/win32/ResourceModule.h"

namespace norvik::test {
namespace {

// A name-or-ordinal field of a DLGTEMPLATEEX.
struct NameOrOrdinal {
    std::wstring name;
    int ordinal = -1;
};

struct ItemTemplate {
    std::uint32_t exStyle = 0, style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    NameOrOrdinal windowClass, title;
};

struct ParsedDialog {
    std::uint32_t exStyle = 0, style = 0;
    int cx = 0, cy = 0;
    std::wstring caption;
    int pointSize = 0;
    std::wstring typeface;
    std::vector<ItemTemplate> items;
};

// Reads the extended dialog template format (dlgVer 1, signature 0xFFFF).
class TemplateReader {
public:
    TemplateReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Read(ParsedDialog* dialog)
    {
        if (Word() != 1 || Word() != 0xFFFF)
            return false;
        Dword();  // help id
        dialog->exStyle = Dword();
        dialog->style = Dword();
        const int count = Word();
        Short();
        Short();
        dialog->cx = Short();
        dialog->cy = Short();
        NameOrOrdinal menu = Field(), windowClass = Field();
        dialog->caption = String();
        if (dialog->style & (DS_SETFONT | DS_SHELLFONT)) {
            dialog->pointSize = Word();
            Word();  // weight
            Byte();  // italic
            Byte();  // character set
            dialog->typeface = String();
        }
        for (int i = 0; i < count && ok_; ++i) {
            Align();
            ItemTemplate item;
            Dword();  // help id
            item.exStyle = Dword();
            item.style = Dword();
            item.x = Short();
            item.y = Short();
            item.cx = Short();
            item.cy = Short();
            item.id = int(std::int32_t(Dword()));
            item.windowClass = Field();
            item.title = Field();
            at_ += Word();  // creation data
            dialog->items.push_back(item);
        }
        return ok_ && menu.name.empty() && menu.ordinal < 0 && windowClass.name.empty() &&
               windowClass.ordinal < 0;
    }

private:
    bool Has(std::size_t n)
    {
        if (at_ + n > size_)
            ok_ = false;
        return ok_;
    }
    std::uint8_t Byte() { return Has(1) ? data_[at_++] : 0; }
    std::uint16_t Word()
    {
        if (!Has(2))
            return 0;
        std::uint16_t v;
        std::memcpy(&v, data_ + at_, 2);
        at_ += 2;
        return v;
    }
    std::int16_t Short() { return std::int16_t(Word()); }
    std::uint32_t Dword() { return Word() | std::uint32_t(Word()) << 16; }
    void Align() { at_ = (at_ + 3) & ~std::size_t(3); }
    std::wstring String()
    {
        std::wstring text;
        while (ok_) {
            const wchar_t c = wchar_t(Word());
            if (c == 0)
                break;
            text.push_back(c);
        }
        return text;
    }
    NameOrOrdinal Field()
    {
        NameOrOrdinal field;
        std::uint16_t first = Word();
        if (first == 0xFFFF) {
            field.ordinal = Word();
        } else if (first != 0) {
            field.name.push_back(wchar_t(first));
            field.name += String();
        }
        return field;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

bool LoadDialog(int id, ParsedDialog* dialog)
{
    HMODULE module = ResourceModule();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!found)
        return false;
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        return false;
    TemplateReader reader(static_cast<const std::uint8_t*>(data), ::SizeofResource(module, found));
    return reader.Read(dialog);
}

std::wstring Lower(std::wstring text)
{
    for (auto& c : text)
        c = wchar_t(::towlower(c));
    return text;
}

// The class of a table entry as the resource compiler may store it: the
// predefined classes by their ordinals, the common controls by name.
bool SameClass(ControlClass kind, const NameOrOrdinal& stored)
{
    switch (kind) {
    case ControlClass::Button:
        return stored.ordinal == 0x80 || Lower(stored.name) == L"button";
    case ControlClass::Edit:
        return stored.ordinal == 0x81 || Lower(stored.name) == L"edit";
    case ControlClass::Static:
        return stored.ordinal == 0x82 || Lower(stored.name) == L"static";
    case ControlClass::ComboBoxEx:
        return Lower(stored.name) == L"comboboxex32";
    case ControlClass::ListView:
        return Lower(stored.name) == L"syslistview32";
    }
    return false;
}

std::wstring TitleText(const NameOrOrdinal& title)
{
    return title.ordinal >= 0 ? std::to_wstring(title.ordinal) : title.name;
}

void ExpectSameDialog(const DialogTemplate& table)
{
    SCOPED_TRACE("dialog " + std::to_string(table.id));
    ParsedDialog compiled;
    ASSERT_TRUE(LoadDialog(table.id, &compiled)) << "no readable dialog template " << table.id;
    EXPECT_EQ(compiled.style, table.style);
    EXPECT_EQ(compiled.exStyle, table.exStyle);
    EXPECT_EQ(compiled.cx, table.cx);
    EXPECT_EQ(compiled.cy, table.cy);
    EXPECT_EQ(compiled.caption, table.caption);
    EXPECT_EQ(compiled.pointSize, table.pointSize);
    EXPECT_EQ(compiled.typeface, table.fontName);
    ASSERT_EQ(compiled.items.size(), table.controls.size());
    for (std::size_t i = 0; i < table.controls.size(); ++i) {
        const ControlTemplate& want = table.controls[i];
        const ItemTemplate& have = compiled.items[i];
        SCOPED_TRACE("control #" + std::to_string(i) + " id " + std::to_string(want.id));
        EXPECT_EQ(have.id, want.id);
        EXPECT_TRUE(SameClass(want.kind, have.windowClass));
        EXPECT_EQ(TitleText(have.title), want.caption);
        EXPECT_EQ(have.x, want.x);
        EXPECT_EQ(have.y, want.y);
        EXPECT_EQ(have.cx, want.cx);
        EXPECT_EQ(have.cy, want.cy);
        EXPECT_EQ(have.style, want.style) << std::hex << have.style << " vs " << want.style;
        EXPECT_EQ(have.exStyle, want.exStyle);
    }
}

class CompiledResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(ResourceModule(), nullptr) << "NorvikResources.dll is not beside the test program";
    }
};

TEST_F(CompiledResources, MainDialogAgreesWithTheControlTable) { ExpectSameDialog(MainDialogTemplate()); }

TEST_F(CompiledResources, AboutBoxAgreesWithTheControlTable) { ExpectSameDialog(AboutDialogTemplate()); }

TEST_F(CompiledResources, AboutMenuStringIcon128AndCommonControlsManifest)
{
    HMODULE module = ResourceModule();
    wchar_t text[64] = {};
    const int length = ::LoadStringW(module, ids::kAboutMenuString, text, 64);
    EXPECT_EQ(std::wstring(text, std::size_t(length)), LoadResourceString(ids::kAboutMenuString));
    EXPECT_EQ(std::wstring(text), L"关于 Norvik(&A)...");

    HICON icon =
        static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(ids::kMainIcon), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(icon, &info));
    BITMAP colour{};
    ::GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 32);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    ::DestroyIcon(icon);

    HRSRC manifest = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */);
    if (!manifest)
        manifest = ::FindResourceW(module, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(module, manifest)));
    const std::string xml(bytes, ::SizeofResource(module, manifest));
    EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(xml.find("version=\"6.0.0.0\""), std::string::npos);
}

}  // namespace
}  // namespace norvik::test
