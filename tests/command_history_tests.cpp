// The command box's history, as Up and Down walk it in a loaded window.
#include "FormTestSupport.h"

#include <gtest/gtest.h>

// Up and Down walk the lines entered in this session, newest first, as a shell's history does: failed starts
// included, an unchanged repeat and empty lines left out, the line being typed kept below the newest.
TEST(History, UpAndDownRecallTheSessionsLines) {
    LoadedWindow window;
    window.form.cmdExecute_Click(); // the placeholder: entered, never recalled
    for (const char16_t* line : {u"one", u"two", u"two", u"", u"three"})
        window.Enter(line);
    window.controls.command = u"draft"; // typed, not entered
    using Key = frmSpillway::CommandKey;
    const struct {
        Key key;
        bool recalled;
        std::u16string box;
    } steps[] = {
        {Key::Down, false, u"draft"}, {Key::Up, true, u"three"},   {Key::Up, true, u"two"},
        {Key::Up, true, u"one"},      {Key::Up, false, u"one"},    {Key::Down, true, u"two"},
        {Key::Down, true, u"three"},  {Key::Down, true, u"draft"}, {Key::Down, false, u"draft"},
        {Key::Up, true, u"three"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(&step - steps);
        EXPECT_EQ(window.form.txtCommand_KeyDown(step.key), step.recalled);
        EXPECT_EQ(window.controls.command, step.box);
    }
    window.controls.command = u"three more"; // the recalled line, edited
    window.form.cmdExecute_Click();
    EXPECT_EQ(window.form.objDOS()->CommandLine(), u"three more");
    window.form.txtCommand_KeyDown(Key::Up);
    window.form.txtCommand_GotFocus(); // browsing starts again
    EXPECT_TRUE(window.form.txtCommand_KeyDown(Key::Up));
    EXPECT_EQ(window.controls.command, u"three more");
}
