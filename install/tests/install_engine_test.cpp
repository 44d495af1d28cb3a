// The ten steps with no window at all: a recording host answers every
// question and sees every report; the log says what happened, step by step.
#include <gtest/gtest.h>

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/setup_state.h"
#include "install/install_log.h"
#include "install/install_sequence.h"
#include "install/tests/engine_test_support.h"
#include "install/tests/sequence_stand_ins.h"

namespace {

struct RecordingHost {
  std::vector<int> steps;
  std::vector<InstallQuestion> questions;
  std::vector<unsigned> buttons;
  std::vector<int> answers;   // given in order; IDCANCEL once they run out
  int ends = 0;
  std::string status;
  int failed = -1;
};

void StepStarting(void* context, int step) { ((RecordingHost*)context)->steps.push_back(step); }

int Ask(void* context, InstallQuestion question, const char*, unsigned buttons) {
  RecordingHost* host = (RecordingHost*)context;
  host->questions.push_back(question);
  host->buttons.push_back(buttons);
  size_t asked = host->questions.size();
  return asked <= host->answers.size() ? host->answers[asked - 1] : IDCANCEL;
}

void RunEnded(void* context, const char* statusText, int failed) {
  RecordingHost* host = (RecordingHost*)context;
  host->ends++;
  host->status = statusText;
  host->failed = failed;
}

std::vector<std::string> LogLines(const std::string& path) {
  std::istringstream in(ReadBytes(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    EXPECT_EQ(line.back(), '\r') << "lines end with CR LF";
    if (line.back() == '\r') line.pop_back();
    // "YYYY-MM-DD hh:mm:ss " first.
    EXPECT_EQ(line.size() > 20 ? line.substr(4, 1) + line.substr(13, 1) : "", "-:") << line;
    lines.push_back(line.size() > 20 ? line.substr(20) : line);
  }
  return lines;
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    SetupState.instance = GetModuleHandleA(nullptr);
    standIns = StandInLog();
    log_ = scratch_ / "setup.log";
    ASSERT_TRUE(OpenInstallLog(log_.c_str()));
  }
  void TearDown() override { OpenInstallLog(""); }

  // Runs steps from 0 for as long as the engine asks for the next.
  void RunAll() {
    const InstallHost host = {&host_, StepStarting, Ask, RunEnded};
    for (int step = 0; RunInstallStep(step, &host); step++) ASSERT_LT(step, kInstallStepCount);
  }

  ScratchFolder scratch_{"engine"};
  std::string log_;
  RecordingHost host_;
};

}  // namespace

TEST_F(Engine, ACompleteRunReportsEveryStepOnceAndLogsALineEach) {
  lstrcpyA(SetupState.defaultFolder, (scratch_ / "Morvantile").c_str());
  RunAll();
  EXPECT_EQ(host_.steps, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_TRUE(host_.questions.empty()) << "a Typical run never asks";
  EXPECT_EQ(host_.ends, 1);
  EXPECT_EQ(host_.failed, 0);
  EXPECT_EQ(host_.status, "Installation complete.\n\nThank you for using Morvantile.");

  std::vector<std::string> lines = LogLines(log_);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], "step 0 (prepare the installation folder): done");
  EXPECT_EQ(lines[2], "step 2 (write the program files): done");
  EXPECT_EQ(lines[9], "step 9 (finish): done; status \"Installation complete.  Thank you for using Morvantile.\"");
}

// A shortcut, start or uninstall entry that could not be made fails
// nothing and shows nothing, but the log says so.
TEST_F(Engine, RegistrationsThatCouldNotBeMadeAreLoggedAndTheRunGoesOn) {
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  standIns.registrationsDone = 0;
  RunAll();
  EXPECT_EQ(host_.failed, 0);
  std::vector<std::string> lines = LogLines(log_);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[6], "step 6 (create the Startup shortcut): failed");
  EXPECT_EQ(lines[7], "step 7 (start Morvantile): failed");
  EXPECT_EQ(lines[8], "step 8 (write the uninstall entry): failed");
}

TEST_F(Engine, NoLaunchLeavesTheProductNotStartedWhateverTheKindChose) {
  lstrcpyA(SetupState.defaultFolder, scratch_.path().c_str());
  SetupState.noLaunch = 1;   // a first installation would start it
  RunAll();
  EXPECT_TRUE(standIns.launches.empty());
  EXPECT_EQ(standIns.shortcuts.size(), 1u);
  EXPECT_EQ(LogLines(log_)[7], "step 7 (start Morvantile): skipped");

  SetupState.customInstall = 1;
  lstrcpyA(SetupState.customFolder, scratch_.path().c_str());
  RunAll();
  EXPECT_TRUE(standIns.launches.empty()) << "not even when the Custom option asks for it";
}

TEST_F(Engine, QuestionsGoToTheHostAndTheLogCountsRepeatedAnswers) {
  std::string target = scratch_ / "Asked";
  SetupState.customInstall = 1;
  lstrcpyA(SetupState.customFolder, target.c_str());
  ASSERT_TRUE(CreateDirectoryA((scratch_ / "Asked").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((target + "\\Morvantile.dll").c_str(), nullptr));   // cannot be written
  host_.answers = {IDRETRY, IDRETRY, IDCANCEL};
  RunAll();

  EXPECT_EQ(host_.questions, (std::vector<InstallQuestion>{kAskLibraryInUse, kAskLibraryInUse, kAskLibraryInUse}));
  EXPECT_EQ(host_.buttons, (std::vector<unsigned>{MB_RETRYCANCEL, MB_RETRYCANCEL, MB_RETRYCANCEL}));
  EXPECT_EQ(host_.steps, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(host_.failed, 1);
  EXPECT_EQ(host_.status, "Installation Incomplete.\n\nThe Morvantile.dll file could not be written.");
  const std::string box =
      "\"Could not write the Morvantile.dll file. Check that it is not currently in use "
      "and that no other programs are running.\"";
  std::vector<std::string> lines = LogLines(log_);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "step 2 (write the program files): failed; asked " + box + ": Retry (2 times); asked " + box +
                          ": Cancel; status \"Installation Incomplete.  The Morvantile.dll file could not be written.\"");
}

TEST_F(Engine, AMissingCustomFolderIsAskedForAndNoEndsTheRunAtStepZero) {
  SetupState.customInstall = 1;
  lstrcpyA(SetupState.customFolder, (scratch_ / "Missing").c_str());
  host_.answers = {IDNO};
  RunAll();
  EXPECT_EQ(host_.questions, std::vector<InstallQuestion>{kAskCreateFolder});
  EXPECT_EQ(host_.buttons, std::vector<unsigned>{MB_YESNO});
  EXPECT_EQ(host_.failed, 1);
  EXPECT_FALSE(IsFolder(scratch_ / "Missing"));
  std::vector<std::string> lines = LogLines(log_);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("step 0 (prepare the installation folder): failed; asked \"Create folder?"),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[0].find("\": No; status"), std::string::npos);
}

TEST_F(Engine, TheLogAppendsAndALogThatCannotBeOpenedIsRefused) {
  ASSERT_TRUE(WriteBytes(log_, "2026-01-01 00:00:00 earlier\r\n"));
  WriteInstallLogLine("one\ntwo");
  std::vector<std::string> lines = LogLines(log_);
  EXPECT_EQ(lines, (std::vector<std::string>{"earlier", "one two"})) << "appended; line breaks stay on one line";

  EXPECT_FALSE(OpenInstallLog((scratch_ / "no such folder\\x.log").c_str()));
  EXPECT_FALSE(InstallLogChosen());
  WriteInstallLogLine("nowhere");   // no log chosen: nothing happens
  EXPECT_FALSE(OpenInstallLog(scratch_.path().c_str())) << "a folder is no log file";
}
