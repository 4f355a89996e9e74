#include <gtest/gtest.h>

#include <fstream>

#include "hotkeys/sg_key_codes_table.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

TEST(SGKeyCodesTableDeathTest, MissingTableIsAnAssertionFailure) {
    EXPECT_DEATH(readKeyCodesTable(QStringLiteral(":/velora/NoSuchTable.plist")), "Contents of SGKeyCodes is nil");
}

TEST(SGKeyCodesTableDeathTest, TableThatIsNoPropertyListIsRefused) {
    test::TempDir dir;
    std::ofstream(dir / "SGKeyCodes.plist") << "<plist><dict><key>version</key>";
    EXPECT_DEATH(readKeyCodesTable(QString::fromStdString((dir / "SGKeyCodes.plist").string())),
                 "SGKeyCodes is not a property list");
}

TEST(SGKeyCodesTable, ReadsATableFile) {
    test::TempDir dir;
    std::ofstream(dir / "SGKeyCodes.plist") << "<plist><dict><key>48</key><string>Tab</string></dict></plist>";
    const PlistValue table = readKeyCodesTable(QString::fromStdString((dir / "SGKeyCodes.plist").string()));
    EXPECT_EQ(table["48"], PlistValue("Tab"));
}

} // namespace
} // namespace velora
