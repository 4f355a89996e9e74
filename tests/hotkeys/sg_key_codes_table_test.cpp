#include <gtest/gtest.h>

#include <fstream>

#include "hotkeys/sg_key_codes_table.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

TEST(SGKeyCodesTableDeathTest, AMissingOrDamagedTableIsAnAssertionFailure) {
    EXPECT_DEATH(readKeyCodesTable(QStringLiteral(":/velora/NoSuchTable.plist")), "Contents of SGKeyCodes is nil");
    test::TempDir dir;
    std::ofstream(dir / "SGKeyCodes.plist") << "<plist><dict><key>version</key>";
    EXPECT_DEATH(readKeyCodesTable(QString::fromStdString((dir / "SGKeyCodes.plist").string())),
                 "SGKeyCodes is not a property list");
}

} // namespace
} // namespace velora
