#include "core/errors.h"

#include <gtest/gtest.h>

// Callers catch one base type for a whole family of failures.
TEST(Errors, FontFailuresAreValueErrors)
{
    EXPECT_THROW(throw qm::CffError("CFF: bad charstring"), qm::ValueError);
    EXPECT_THROW(throw qm::IndexError("index error"), qm::ValueError);
    try {
        throw qm::CffError("CFF: stack overflow");
    } catch (const qm::ValueError& e) {
        EXPECT_STREQ(e.what(), "CFF: stack overflow");
    }
}
