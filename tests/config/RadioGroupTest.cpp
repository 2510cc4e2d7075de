#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "TestApp.h"
#include "config/TRadioGroup.h"

namespace tabulex {
namespace {

class RadioGroupTest : public ::testing::Test {
protected:
    test::AppFirst appFirst;
    TRadioGroup group{"Caption", {"a", "b", "c"}};
    QSignalSpy changes{&group, &TRadioGroup::itemIndexChanged};

    std::vector<bool> checkedButtons() const
    {
        std::vector<bool> checked;
        for (int i = 0; i < group.count(); ++i)
            checked.push_back(group.button(i)->isChecked());
        return checked;
    }
};

TEST_F(RadioGroupTest, StartsWithNothingChecked)
{
    EXPECT_EQ(group.itemIndex(), -1);
    EXPECT_EQ(checkedButtons(), (std::vector<bool>{false, false, false}));
}

TEST_F(RadioGroupTest, IndexIsClampedAndMinusOneUnchecksAll)
{
    group.setItemIndex(7);
    EXPECT_EQ(group.itemIndex(), 2);
    EXPECT_EQ(checkedButtons(), (std::vector<bool>{false, false, true}));
    group.setItemIndex(-3);
    EXPECT_EQ(group.itemIndex(), -1);
    EXPECT_EQ(checkedButtons(), (std::vector<bool>{false, false, false}));
    group.setItemIndex(0);
    EXPECT_EQ(checkedButtons(), (std::vector<bool>{true, false, false}));
}

TEST_F(RadioGroupTest, SignalsEachChangeOnceAndNothingForTheSameIndex)
{
    group.setItemIndex(1);
    group.setItemIndex(1);
    group.setItemIndex(2);
    group.setItemIndex(-1);
    group.setItemIndex(-5);
    ASSERT_EQ(changes.count(), 3);
    EXPECT_EQ(changes.at(0).at(0).toInt(), 1);
    EXPECT_EQ(changes.at(1).at(0).toInt(), 2);
    EXPECT_EQ(changes.at(2).at(0).toInt(), -1);
}

TEST_F(RadioGroupTest, ClickingAButtonSelectsItAndClickingItAgainChangesNothing)
{
    group.resize(100, 80);
    group.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&group));
    group.setItemIndex(0);
    changes.clear();
    QTest::mouseClick(group.button(2), Qt::LeftButton, {},
                      QPoint(6, group.button(2)->height() / 2));
    EXPECT_EQ(group.itemIndex(), 2);
    QTest::mouseClick(group.button(2), Qt::LeftButton, {},
                      QPoint(6, group.button(2)->height() / 2));
    EXPECT_EQ(group.itemIndex(), 2);
    EXPECT_EQ(checkedButtons(), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(changes.count(), 1);
}

}  // namespace
}  // namespace tabulex
