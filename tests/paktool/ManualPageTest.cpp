#include <gtest/gtest.h>

#include "support/ManualPage.h"
#include "tools/paktool/PakTool.h"

TEST(PakToolManual, EveryCommandAndOptionIsInTheManualPageAndTheHelp) {
    testsupport::expectEverythingDocumented(
        paktool::commands(), paktool::usage(),
        testsupport::manualPageText(MT_SOURCE_DIR "/tools/paktool/paktool.1"));
}
