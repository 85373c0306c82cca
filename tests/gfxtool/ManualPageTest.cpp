#include <gtest/gtest.h>

#include "support/ManualPage.h"
#include "tools/gfxtool/GfxTool.h"

TEST(GfxToolManual, EveryCommandAndOptionIsInTheManualPageAndTheHelp) {
    testsupport::expectEverythingDocumented(
        gfxtool::commands(), gfxtool::usage(),
        testsupport::manualPageText(MT_SOURCE_DIR "/tools/gfxtool/gfxtool.1"));
}
