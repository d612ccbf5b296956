// The store saver: what it was handed reaches the files, the last handed
// over wins, the end of the saver waits for it, and a failure comes back.
#include "core/files.h"
#include "model/store.h"
#include "model/store_saver.h"

#include "store_helpers.h"

#include <gtest/gtest.h>

using namespace qm;
using namespace qm::test;

TEST(StoreSaver, TheLastSaveHandedOverReachesTheFiles)
{
    TempFolder dir;
    LocalStorePtr s = newLocalStore(dir.path);
    {
        StoreSaverPtr saver = newStoreSaver();
        for (int i = 0; i < 50; ++i) {
            s->budget->user.first_name = "name " + std::to_string(i);
            s->etag = std::to_string(i);
            markDirty(*s);
            saveStoreLater(*saver, *s);
            EXPECT_FALSE(s->dirty);
        }
        // Edits after the handing over are not in the copy.
        s->budget->user.first_name = "not saved";
        waitForSaves(*saver);
        EXPECT_EQ(openStore(dir.path)->budget->user.first_name, "name 49");
        s->budget->user.first_name = "at the end";
        markDirty(*s);
        saveStoreLater(*saver, *s);
    }  // the saver's end writes what it was handed
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
    saveStoreLater(*saver, *s);
    waitForSaves(*saver);
    std::optional<SaveFailure> failure = takeSaveFailure(*saver);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->folder, folder);
    EXPECT_FALSE(failure->message.empty());
    EXPECT_FALSE(takeSaveFailure(*saver));  // given once
    EXPECT_FALSE(isRegularFile(folder + "/data.json"));
}
