// The store saver: a save holds the store as it was when it began, saves
// asked for meanwhile end as one of the latest state, the end of the saver
// waits for the save under way, and a failure comes back.
#include "core/files.h"
#include "model/store.h"
#include "model/store_saver.h"

#include "store_helpers.h"

#include <gtest/gtest.h>

using namespace qm;
using namespace qm::test;

TEST(StoreSaver, SavesHoldTheStoreAsItWasWhenTheyBegan)
{
    TempFolder dir;
    LocalStorePtr s = newLocalStore(dir.path);
    {
        StoreSaverPtr saver = newStoreSaver();
        s->budget->user.first_name = "first";
        markDirty(*s);
        saveStoreLater(*saver, s);
        EXPECT_FALSE(s->dirty);
        // Changed after the save began: not in it.
        s->budget->user.first_name = "not saved";
        waitForSaves(*saver);
        EXPECT_EQ(openStore(dir.path)->budget->user.first_name, "first");
        // Saves asked for while one runs end as one save of the latest state.
        for (int i = 0; i < 50; ++i) {
            s->budget->user.first_name = "name " + std::to_string(i);
            s->etag = std::to_string(i);
            markDirty(*s);
            saveStoreLater(*saver, s);
            pollSaver(*saver);
        }
        waitForSaves(*saver);
        EXPECT_EQ(storeDataJson(*openStore(dir.path)), storeDataJson(*s));
        s->budget->user.first_name = "at the end";
        markDirty(*s);
        saveStoreLater(*saver, s);
    }  // the saver's end waits for the save under way
    LocalStorePtr back = openStore(dir.path);
    EXPECT_EQ(back->budget->user.first_name, "at the end");
    EXPECT_EQ(back->etag, "49");
    EXPECT_EQ(storeDataJson(*back), storeDataJson(*s));
}

TEST(StoreSaver, AFailedSaveIsReportedWithItsFolder)
{
    TempFolder dir;
    writeText(dir.file("plain"), "x");
    const std::string folder = dir.file("plain") + "/budget";  // under a file: never writable
    LocalStorePtr s = newLocalStore(folder);
    StoreSaverPtr saver = newStoreSaver();
    markDirty(*s);
    saveStoreLater(*saver, s);
    waitForSaves(*saver);
    std::optional<SaveFailure> failure = takeSaveFailure(*saver);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->folder, folder);
    EXPECT_FALSE(failure->message.empty());
    EXPECT_FALSE(takeSaveFailure(*saver));  // given once
    EXPECT_FALSE(isRegularFile(folder + "/data.json"));
}
