#pragma once
// A test fixture with GDI+ running for the whole suite.

#include <gtest/gtest.h>

#include <memory>

#include "windowing/gdiplus_handles.h"

namespace testing_support {

class GdiplusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Session() = std::make_unique<CGdiplusSession>(); }
    static void TearDownTestSuite() { Session().reset(); }
    void SetUp() override { ASSERT_EQ(Session()->StartupStatus(), Gdiplus::Ok); }

private:
    static std::unique_ptr<CGdiplusSession>& Session() {
        static std::unique_ptr<CGdiplusSession> session;
        return session;
    }
};

}  // namespace testing_support
