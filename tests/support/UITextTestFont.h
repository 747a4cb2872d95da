// A synthetic font (advance 10, drawn width 8, height 12, line height 14) read from a temporary
// "Common" mount, and handing it to a text element's render side as the font resolution does.
// Test thread; the mount lives as long as the object.
#pragma once

#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "renderer/resources/ResourceFont.h"
#include "support/TempFolder.h"
#include "tools/datakit/FontWriter.h"
#include "ui/elements/UICommand.h"
#include "ui/elements/UITextBase.h"

#include <gtest/gtest.h>

class UITextTestFont
{
public:
    UITextTestFont()
    {
        EXPECT_TRUE(gFileSystem.MountDirectory("Common", m_folder.Path().c_str()));
        SyntheticFontMetrics metrics;
        metrics.advance = 10;
        metrics.drawnWidth = 8;
        metrics.height = 12;
        metrics.lineHeight = 14;
        const std::vector<uint8_t> bytes =
            FontWriter::EncodeBinaryFont(FontWriter::MakeSyntheticFont(u"abcdefghijklmnopqrstuvwxyzABC |/", metrics));
        m_folder.WriteFile("Fonts/layout~010.BinFont", std::string(bytes.begin(), bytes.end()));
        FileReader reader("layout~010", "BinFont", "Common/Fonts", 0);
        EXPECT_TRUE(m_font.ReadBinaryFont(reader));
    }
    ~UITextTestFont() { gFileSystem.UnmountAll(); }

    // Command 45 with one more reference on the font, as UITextBase::ResolveFont sends it.
    void Give(UITextBase& text, float pixel, uint8_t wrap = 0, int32_t spacing = 0)
    {
        m_font.AddRef();
        UICommand command(&UICommandTrampoline<&UITextBase::RunTextCommand>, &UITextBase::RunTextCommand,
                          UITEXT_CMD_SET_FONT, &text, sizeof(void*) + sizeof(Vector) + 1 + 4);
        command.Put(&m_font).Put(Vector(pixel, pixel, 1.0f, 1.0f)).Put(wrap).Put(spacing);
    }
    ResourceFont& Get() { return m_font; }

private:
    TempFolder m_folder;
    ResourceFont m_font{"layout~010"};
};
