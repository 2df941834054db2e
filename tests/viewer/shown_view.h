#pragma once

#include <QTest>

#include <gtest/gtest.h>

#include "viewer/html_view.h"

namespace corvane::test {

// A view of the Table Select dialog's size, on white, shown offscreen.
class TShownView : public ::testing::Test {
 protected:
  void SetUp() override {
    view.resize(543, 435);
    view.SetDefBackground(0xFFFFFF);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }

  THtmlView view;
};

}  // namespace corvane::test
