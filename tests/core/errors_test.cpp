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

// A failure remembers where it was raised, for reports written after the
// stack has unwound; it stays a std::runtime_error for generic catches.
TEST(Errors, RememberWhereTheyWereRaised)
{
    try {
        throw qm::IOError("Cannot write x");
    } catch (const std::runtime_error& e) {
        auto& own = dynamic_cast<const qm::Error&>(e);
        EXPECT_GE(own.raisedAt().size(), 2u);
        qm::IOError copy = dynamic_cast<const qm::IOError&>(e);
        EXPECT_EQ(copy.raisedAt().size(), own.raisedAt().size());
        EXPECT_EQ(copy.raisedAt()[0], own.raisedAt()[0]);
    }
}
