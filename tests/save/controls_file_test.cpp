// The controls file: read as a whole or not at all, written back the same, and at start-up a
// damaged one kept aside for the defaults.
#include <gmock/gmock.h>

#include "save/save_fixture.h"
#include "test_names.h"

namespace {

using testing::HasSubstr;

constexpr const char* kDefaultText =
    "steerleft 37 dpleft\r\nsteerright 39 dpright\r\naccelerate 38 a\r\nbrake 40 b\r\nhandbrake 32 x\r\n"
    "horn 72 y\r\npause 80 start\r\nrumble 1\r\n";

struct FileCase {
  const char* Name;
  std::string Text;
  const char* Problem;  // nullptr: reads
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.Name; }

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

class ControlsFileTable : public SaveFolderTest, public testing::WithParamInterface<FileCase> {};

TEST_P(ControlsFileTable, ReadsAsAWholeOrNamesTheProblem) {
  const FileCase& c = GetParam();
  const std::string path = PathOf("controls");
  WriteBytes(path, c.Text);
  Controls = DefaultControls;
  Controls.Rumble = false;  // a marker: a refused file changes nothing
  if (c.Problem == nullptr) {
    EXPECT_NO_THROW(LoadControls(path));
    return;
  }
  try {
    LoadControls(path);
    FAIL() << "read: " << c.Text;
  } catch (const EGameError& e) {
    EXPECT_THAT(e.what(), HasSubstr(path + ": "));
    EXPECT_THAT(e.what(), HasSubstr(c.Problem));
  }
  EXPECT_FALSE(Controls.Rumble);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ControlsFileTable,
    testing::Values(
        FileCase{"defaults", kDefaultText, nullptr},
        FileCase{"LF line ends, blank lines and no rumble line",
                 "steerleft 37 dpleft\n\nsteerright 39 dpright\naccelerate 87 rightshoulder\nbrake 40 b\nhandbrake 32 x\n"
                 "horn 72 y\npause 80 start\n",
                 nullptr},
        FileCase{"one key for two actions", Replaced(kDefaultText, "brake 40", "brake 38"),
                 "line 4: brake has the key of accelerate"},
        FileCase{"one button for two actions", Replaced(kDefaultText, "horn 72 y", "horn 72 x"),
                 "line 6: horn has the pad button of handbrake"},
        FileCase{"an action missing", Replaced(kDefaultText, "pause 80 start\r\n", ""), "pause is missing"},
        FileCase{"an action twice", std::string(kDefaultText) + "horn 72 y\r\n", "horn is given twice"},
        FileCase{"Esc belongs to the menus", Replaced(kDefaultText, "pause 80", "pause 27"), "may take the key 27"},
        FileCase{"a key number that is no key", Replaced(kDefaultText, "horn 72", "horn 9999"), "may take the key 9999"},
        FileCase{"Back belongs to the menus", Replaced(kDefaultText, "start", "back"), "may take the pad button back"},
        FileCase{"a pad button that is none", Replaced(kDefaultText, "dpleft", "dpl"), "pad button dpl"},
        FileCase{"an unknown line", std::string(kDefaultText) + "jump 74 a\r\n", "not a control"},
        FileCase{"a rumble that is not 0 or 1", Replaced(kDefaultText, "rumble 1", "rumble yes"), "rumble must be 0 or 1"},
        FileCase{"binary", std::string("\x01\xFF\x00zz", 5), "line 1"}),
    test_names::Printed());

TEST_F(SaveFolderTest, ControlsFileIsWrittenAsRead) {
  Controls = DefaultControls;
  EXPECT_EQ(ControlsFileText(), kDefaultText);
  Controls.Keys[caAccelerate] = 'W';
  Controls.PadButtons[caBrake] = pbRightShoulder;
  Controls.Rumble = false;
  const TControls written = Controls;
  SaveControls(PathOf("controls"));
  Controls = DefaultControls;
  LoadControls(PathOf("controls"));
  EXPECT_EQ(Controls, written);
}

TEST_F(SaveFolderTest, MissingControlsFileGivesTheDefaults) {
  Controls.Keys[caHorn] = 'Q';
  LoadControls(PathOf("controls"));
  EXPECT_EQ(Controls, DefaultControls);
}

TEST_F(SaveFolderTest, DamagedControlsFileIsKeptAsideAtStartAndTheOthersStillRead) {
  WriteBytes(paths_.Controls, Replaced(kDefaultText, "brake 40", "brake 38"));
  const std::string notice = LoadSaveFiles(paths_);
  EXPECT_THAT(notice, HasSubstr("brake has the key of accelerate"));
  EXPECT_THAT(notice, HasSubstr(paths_.Controls + ": kept as " + paths_.Controls + ".bad"));
  EXPECT_EQ(Controls, DefaultControls);
  EXPECT_TRUE(Exists("controls.bad"));
  EXPECT_EQ(Options.Country, DefaultCountry);  // the options file (missing) went its own way
  // The exit writes the defaults in its place, and the options file as before.
  EXPECT_EQ(SaveSaveFiles(paths_), "");
  EXPECT_EQ(ReadBytes(paths_.Controls), kDefaultText);
  EXPECT_THAT(ReadBytes(paths_.Options), testing::Not(HasSubstr("accelerate")));
}

TEST(ControlConflicts, FindTheOtherActionOnly) {
  EXPECT_EQ(ActionWithKey(DefaultControls, VK_UP, caBrake), caAccelerate);
  EXPECT_EQ(ActionWithKey(DefaultControls, VK_UP, caAccelerate), -1);
  EXPECT_EQ(ActionWithPadButton(DefaultControls, pbStart, caHorn), caPause);
  EXPECT_EQ(ActionWithKey(DefaultControls, 'Q', -1), -1);
}

}  // namespace
