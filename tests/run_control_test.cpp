// Running programs: the run loop, the run controls and the step preview.
#include "core/interpreter/run_control.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "core/control/operator_panels.h"
#include "core/machine/messages.h"
#include "core/machine/step_engine.h"
#include "support/pulse_train.h"
#include "support/test_rig.h"

namespace brimo::test {
namespace {

struct RunRig : TestRig {
  explicit RunRig(const std::string& program, bool offline = true) {
    UniformAxes(0.01, 500);
    ms.Offline = offline;
    LoadProgram(program);
  }
  // X steps seen on the port: +1 per pulse whose X step bit was set.
  long XStepsOnPort() const {
    long n = 0;
    for (const TrainPulse& p : PulseTrain(port))
      if (p.step & 2) ++n;
    return n;
  }
  int DoneMessages() const { return win.MessagesStartingWith(msg::kDone); }
};

constexpr const char* kThreeLines = "G01 X1 F300\nX2 Y1\nX0 Y0\n";

TEST(RunProgram, ThreeLinesRunContinuouslyToTheEndMessage) {
  RunRig r(kThreeLines);
  Execute(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 4);
  EXPECT_EQ(r.DoneMessages(), 1);
  EXPECT_EQ(r.win.messages.back().title, msg::kDoneTitle);
  EXPECT_FALSE(r.win.executeEnabled);
  EXPECT_NEAR(r.ms.PrgX, 0, 1e-9);
  EXPECT_NEAR(r.ms.PrgY, 0, 1e-9);
  EXPECT_EQ(r.win.lineInProgress, "");  // the pass over the entry after the last
  EXPECT_FALSE(r.ms.Running);
}

// Where each way of ending a press leaves the run: one state, with the
// halt position or the stop record beside it.
TEST(RunStateAfterAPress, OneValueSaysWhereTheRunStands) {
  struct Row {
    const char* name;
    const char* program;
    bool step;     // "Step" chosen before the press
    long pauseAt;  // pump count of a "Pause" (0: none)
    RunState want;
    long line;  // CurrentLine afterwards
  };
  const Row rows[] = {
      {"finished", kThreeLines, false, 0, RunState::kFinished, 4},
      {"step", kThreeLines, true, 0, RunState::kHalted, 1},
      {"tool change", "G01 X1 F600\nM6 T2\nX2\n", false, 0, RunState::kHalted, 2},
      {"cut move", "G01 X5 F600\nY1\n", false, 123, RunState::kStopped, 1},
      {"bad line", "G01 X1 F600\nX1E999\nX3\n", false, 0, RunState::kBadLine, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RunRig r(row.program);
    EXPECT_EQ(r.ms.Run, RunState::kIdle);
    if (row.step) SelectStepMode(r.core);
    r.win.onPump = [&](long n) {
      EXPECT_EQ(r.ms.Run, RunState::kRunning);
      if (n == row.pauseAt) Pause(r.core);
    };
    Execute(r.core);
    EXPECT_EQ(r.ms.Run, row.want);
    EXPECT_EQ(r.ms.CurrentLine, row.line);
    if (row.want == RunState::kHalted) EXPECT_NEAR(r.ms.Halt.PrgX, 1, 1e-9);
    if (row.want == RunState::kStopped) EXPECT_NEAR(r.ms.Stop.PrgX, 1.23, 1e-9);
  }
  // "Move machine to end of line" positions the run; "Reset Program" idles it.
  RunRig r(kThreeLines);
  PreviewNextLine(r.core);
  MoveToPreviewedLine(r.core);
  EXPECT_EQ(r.ms.Run, RunState::kAtLine);
  r.win.answers = {true};
  ResetProgram(r.core);
  EXPECT_EQ(r.ms.Run, RunState::kIdle);
}

TEST(RunProgram, StepModeRunsOneLinePerPress) {
  RunRig r(kThreeLines);
  SelectStepMode(r.core);
  Execute(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 1);
  EXPECT_NEAR(r.ms.PrgX, 1, 1e-9);
  Execute(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 2);
  EXPECT_NEAR(r.ms.PrgY, 1, 1e-9);
  EXPECT_EQ(r.DoneMessages(), 0);
  // "Continous" after some steps runs on from the current line.
  SelectContinuous(r.core);
  Execute(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 4);
  EXPECT_EQ(r.DoneMessages(), 1);
}

TEST(RunProgram, PauseInALongMoveThenResumeLosesNoStep) {
  RunRig r("G01 X5 F600\nY1\n", /*offline=*/false);
  r.win.onPump = [&](long n) {
    if (n == 123) Pause(r.core);
  };
  Execute(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 1);
  EXPECT_TRUE(r.ms.StopRecordFilled());
  EXPECT_NEAR(r.ms.PrgX, 1.23, 1e-9);
  EXPECT_TRUE(r.win.executeEnabled);
  r.win.onPump = nullptr;
  Execute(r.core);
  EXPECT_EQ(r.XStepsOnPort(), 500);  // exactly the 500 steps of X5
  EXPECT_NEAR(r.ms.PrgX, 5, 1e-9);
  EXPECT_NEAR(r.ms.PrgY, 1, 1e-9);
  EXPECT_EQ(r.DoneMessages(), 1);
  EXPECT_FALSE(r.ms.StopRecordFilled());
}

TEST(RunProgram, ResumeAfterAJogReturnsToTheStopPositionFirst) {
  RunRig r("G01 X2 Z-1 F600\nX0\n");
  r.win.onPump = [&](long n) {
    if (n == 50) Pause(r.core);
  };
  Execute(r.core);
  const double sx = r.ms.PrgX, sz = r.ms.PrgZ;
  r.win.onPump = nullptr;
  // The operator moves the machine away (as a jog would: positions change).
  r.ms.PrgX += 3, r.ms.MachX += 3;
  r.ms.PrgZ += 2, r.ms.MachZ += 2;
  r.ms.StopRequested = false;  // a jog clears the request: the record remains
  Execute(r.core);
  EXPECT_NEAR(r.ms.PrgX, 0, 1e-9);
  EXPECT_NEAR(r.ms.PrgZ, -1, 1e-9);
  EXPECT_NE(sx, 0);
  EXPECT_LT(sz, 0);
  EXPECT_EQ(r.DoneMessages(), 1);
}

TEST(RunProgram, ReturnRisesBeforeCrossingAndLowersLast) {
  RunRig r("G01 X1 F600\n");
  r.ms.ProgramFeed = 600;
  r.ms.PrgZ = 0;
  std::vector<std::pair<double, double>> path;  // (x, z) after every pulse
  r.win.onPump = [&](long) { path.push_back({r.ms.PrgX, r.ms.PrgZ}); };
  ASSERT_TRUE(ReturnTo(r.core, 1, 0, 2));  // must rise: Z first
  EXPECT_NEAR(path[199].second, 2, 1e-9);  // 200 Z steps before any X step
  EXPECT_NEAR(path[199].first, 0, 1e-9);
  path.clear();
  ASSERT_TRUE(ReturnTo(r.core, 0, 0, -1));  // must descend: Z last
  EXPECT_NEAR(path[99].first, 0, 1e-9);
  EXPECT_NEAR(path[99].second, 2, 1e-9);
  EXPECT_NEAR(r.ms.PrgZ, -1, 1e-9);
  EXPECT_EQ(r.ms.MotionWord, "");  // registers put back
}

TEST(RunProgram, ToolChangeHaltsAndTheNextPressRunsOnFromWhereTheRunStood) {
  RunRig r("G01 X1 F600\nM6 T2\nX2\nX3\n");
  Execute(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 2);
  EXPECT_EQ(r.win.MessagesStartingWith("Change to tool #2"), 1);
  EXPECT_EQ(r.DoneMessages(), 0);
  // Jogged away to change the tool (Z up, then Y): the next line must not
  // start there.
  for (int k = 0; k < 50; ++k) Jog(r.core, 6, kLeftButton, JogSpeed::Step);
  for (int k = 0; k < 40; ++k) Jog(r.core, 3, kLeftButton, JogSpeed::Step);
  ASSERT_NEAR(r.ms.PrgY, 0.4, 1e-9);
  ASSERT_NEAR(r.ms.PrgZ, 0.5, 1e-9);
  std::vector<std::array<double, 3>> at;
  r.win.onPump = [&](long) { at.push_back({r.ms.PrgX, r.ms.PrgY, r.ms.PrgZ}); };
  Execute(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 5);
  EXPECT_NEAR(r.ms.PrgX, 3, 1e-9);
  EXPECT_NEAR(r.ms.PrgY, 0, 1e-9);
  EXPECT_NEAR(r.ms.PrgZ, 0, 1e-9);
  // Back to where the run stood before X moves at all: every point past
  // X 1 lies on the line X 1..3 at Y 0, Z 0.
  ASSERT_FALSE(at.empty());
  for (const auto& p : at) {
    if (p[0] > 1 + 1e-9) {
      EXPECT_NEAR(p[1], 0, 1e-9) << p[0];
      EXPECT_NEAR(p[2], 0, 1e-9) << p[0];
    } else {
      EXPECT_NEAR(p[0], 1, 1e-9);
    }
  }
}

TEST(RunProgram, AfterAToolChangeStepModeStaysWhenStepIsChosen) {
  RunRig r("M6 T1\nG01 X1 F600\nX2\n");
  SelectStepMode(r.core);
  Execute(r.core);  // line 1: the tool change
  Execute(r.core);  // M-word case: one line only, as chosen
  EXPECT_EQ(r.ms.CurrentLine, 2);
  EXPECT_NEAR(r.ms.PrgX, 1, 1e-9);
}

TEST(RunProgram, ResetProgramAskedNoChangesNothingYesMakesProgramZero) {
  RunRig r(kThreeLines);
  SelectStepMode(r.core);
  Execute(r.core);
  r.win.answers = {false};
  ResetProgram(r.core);
  EXPECT_EQ(r.win.questions.back().text, msg::kResetQuestion);
  EXPECT_EQ(r.win.questions.back().title, msg::kResetTitle);
  EXPECT_EQ(r.win.beeps, 1);
  EXPECT_EQ(r.ms.CurrentLine, 1);
  EXPECT_NEAR(r.ms.PrgX, 1, 1e-9);
  r.win.answers = {true};
  ResetProgram(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 0);
  EXPECT_EQ(r.ms.PrgX, 0);
  EXPECT_NEAR(r.ms.MachX, 1, 1e-9);
  EXPECT_EQ(r.win.prg[0], "0.0000");
}

// "Reset Program" starts the registers afresh, as File > Open does: the
// issue's example (a program that ended at F250, then a first move without
// a feed) is refused in the window as in the simulation.
TEST(RunProgram, ResetProgramPutsTheRegistersBackToTheirStartUpValues) {
  RunRig r("G01 X10\nG01 X20 F100\n");
  // What an earlier program left.
  r.ms.MotionWord = "G03";
  r.ms.ProgramFeed = 250;
  r.ms.FeedNow = 250;
  r.ms.ArcI = -1, r.ms.ArcJ = 2;
  r.ms.ZWord = "-1", r.ms.RWord = "2", r.ms.QWord = "3", r.ms.TWord = "4";
  r.ms.PecksLeft = 3;
  r.win.programFeedText = r.win.feedText = "250";
  r.win.lineInProgress = "G03 X1 Y1 I-1 J2 F250";
  r.win.answers = {true};

  ResetProgram(r.core);

  const MachineState fresh;
  EXPECT_EQ(r.ms.MotionWord, fresh.MotionWord);
  EXPECT_EQ(r.ms.ProgramFeed, fresh.ProgramFeed);
  EXPECT_EQ(r.ms.FeedNow, 0);
  EXPECT_EQ(r.ms.ArcI, fresh.ArcI);
  EXPECT_EQ(r.ms.ArcJ, fresh.ArcJ);
  EXPECT_EQ(r.ms.ZWord, fresh.ZWord);
  EXPECT_EQ(r.ms.RWord, fresh.RWord);
  EXPECT_EQ(r.ms.QWord, fresh.QWord);
  EXPECT_EQ(r.ms.TWord, fresh.TWord);
  EXPECT_EQ(r.ms.PecksLeft, fresh.PecksLeft);
  EXPECT_EQ(r.win.programFeedText, "0");
  EXPECT_EQ(r.win.feedText, "0");
  EXPECT_EQ(r.win.lineInProgress, "");

  Execute(r.core);
  EXPECT_EQ(r.win.MessagesStartingWith(msg::kBadRate), 1);
  EXPECT_EQ(r.ms.PrgX, 0);
}

TEST(RunProgram, NoProgramLoadedSaysSo) {
  RunRig r("");
  Execute(r.core);
  ASSERT_EQ(r.win.messages.size(), 1u);
  EXPECT_EQ(r.win.messages[0].text, msg::kNoProgram);
}

TEST(RunProgram, BadLineStopsBeforeItAndContinuesOnlyWhenChosen) {
  RunRig r("G01 X1 F600\nX1E999\nX3\n");
  Execute(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 2);
  EXPECT_NEAR(r.ms.PrgX, 1, 1e-9);
  ASSERT_EQ(r.win.MessagesStartingWith("Line 2: X1E999"), 1);
  r.win.answers = {false};
  Execute(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 2);
  r.win.answers = {true};
  Execute(r.core);
  EXPECT_NEAR(r.ms.PrgX, 3, 1e-9);
  EXPECT_EQ(r.DoneMessages(), 1);
}

TEST(RunProgram, StaleStopRequestIsClearedAndJogStopsDoNotRestart) {
  RunRig r(kThreeLines);
  SelectStepMode(r.core);
  Execute(r.core);
  // A key press while idle: nothing was cut, so the press continues.
  r.ms.StopRequested = true;
  Execute(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 2);  // line 2 ran: not restarted from line 1
  EXPECT_NEAR(r.ms.PrgY, 1, 1e-9);
}

TEST(RunProgram, ExecuteIsRefusedWhileMotionIsUnderWay) {
  RunRig r(kThreeLines);
  int nested = 0;
  r.win.onPump = [&](long n) {
    if (n == 5) {
      Execute(r.core);  // pressed again inside the run
      ++nested;
    }
  };
  Execute(r.core);
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(r.win.beeps, 1);
  EXPECT_EQ(r.DoneMessages(), 1);
}

TEST(RunProgram, StartFromTheBeginningKeepsAJoggedHeight) {
  RunRig r("G00 X1 Y1\nG01 Z-1 F600\n");
  r.ms.PrgZ = 5;  // jogged up after zeroing
  std::vector<double> z;
  r.win.onPump = [&](long) { z.push_back(r.ms.PrgZ); };
  SelectStepMode(r.core);
  Execute(r.core);
  for (double v : z) EXPECT_NEAR(v, 5, 1e-9);
  EXPECT_EQ(r.ms.MachX, r.ms.PrgX);  // machine coordinates zeroed at the start
}

// Starting from the beginning makes the tool's place the machine origin
// (deliberate), wherever program zero and the machine coordinates were.
TEST(RunProgram, StartFromTheBeginningZeroesTheMachineCoordinates) {
  RunRig r("G01 X1 Y2 Z-0.5 F600\n");
  r.ms.PrgX = 0.5, r.ms.PrgY = -1, r.ms.PrgZ = 0.25;
  r.ms.MachX = 7, r.ms.MachY = 8, r.ms.MachZ = 9;
  Execute(r.core);
  EXPECT_EQ(r.DoneMessages(), 1);
  EXPECT_NEAR(r.ms.MachX, 0.5, 1e-9);
  EXPECT_NEAR(r.ms.MachY, 3, 1e-9);
  EXPECT_NEAR(r.ms.MachZ, -0.75, 1e-9);
}

TEST(RunProgram, AfterResetRunIdleEvenWhenTheLastLineHadAnMWord) {
  RunRig r("G00 X1\nX2\nM30\n");
  Execute(r.core);
  ResetRunState(r.core);
  r.ms.MCode = 30;  // what a drawing pass over the program would leave
  ResetRunState(r.core);
  EXPECT_EQ(r.ms.MCode, 0);
  SelectStepMode(r.core);
  Execute(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 1);
}

TEST(RunProgram, ZeroFeedRefusesTheMoveAndTheNextPressRepeatsIt) {
  RunRig r("G01 X1\nX2 F600\n");
  Execute(r.core);
  EXPECT_EQ(r.win.MessagesStartingWith("The move was not started"), 1);
  EXPECT_EQ(r.ms.CurrentLine, 1);
  EXPECT_EQ(r.ms.PrgX, 0);
  r.ms.ProgramFeed = 300;  // as if the operator raised the feed
  Execute(r.core);
  EXPECT_NEAR(r.ms.PrgX, 2, 1e-9);
}

// A drilling line whose pecks are refused (F0; its approach has no steps, so
// only the pecks ask for a rate): every press tries the cycle again, never
// starts the program over from line 1 (which would zero the machine).
TEST(RunProgram, RefusedPecksAreTriedAgainNotTheProgramFromLineOne) {
  RunRig r("G81 X1 Y1 Z-1 R0.5 F120\nX1 Y1 Z-2 F0\nG00 X5\n");
  Execute(r.core);
  ASSERT_EQ(r.ms.CurrentLine, 2);
  const double machX = r.ms.MachX;
  for (int press = 0; press < 2; ++press) {
    Execute(r.core);
    EXPECT_EQ(r.ms.CurrentLine, 2) << press;
    EXPECT_TRUE(r.ms.StopRecordFilled()) << press;
    EXPECT_EQ(r.ms.MachX, machX) << press;
  }
  r.ms.ProgramFeed = 120;  // as if the operator raised the feed
  Execute(r.core);
  EXPECT_NEAR(r.ms.PrgX, 5, 1e-9);
  EXPECT_EQ(r.ms.CurrentLine, r.store.LineCount + 1);
}

// ---- Pacing: long waits and resumed moves ------------------------------------

TEST(PulseWait, PauseDuringALongWaitEndsItAndTheResumeEndsAtTheTarget) {
  // F0.6 at 0.01 per step: one step per second (10^7 ticks). The pause comes
  // inside the wait before pulse `made` + 1, which is then never made.
  struct Row {
    double pauseAt;  // seconds
    int made;        // pulses made before the pause
  } rows[] = {{0.3, 0}, {2.5, 2}, {4.9, 4}};
  for (const Row& row : rows) {
    RunRig r("G01 X0.05 F0.6\nY0.01\n", /*offline=*/false);
    r.win.onPump = [&](long) {
      if (r.clock.Now() >= row.pauseAt * 1e7 && !r.ms.StopRequested) Pause(r.core);
    };
    Execute(r.core);
    EXPECT_EQ(r.ms.CurrentLine, 1) << row.pauseAt;
    EXPECT_TRUE(r.ms.StopRecordFilled()) << row.pauseAt;
    EXPECT_EQ(r.XStepsOnPort(), row.made) << row.pauseAt;
    EXPECT_NEAR(r.ms.PrgX, row.made * 0.01, 1e-9) << row.pauseAt;
    EXPECT_LT(r.clock.Now(), (row.pauseAt + 0.01) * 1e7) << row.pauseAt;  // left at once
    r.win.onPump = nullptr;
    Execute(r.core);
    EXPECT_EQ(r.XStepsOnPort(), 5) << row.pauseAt;
    EXPECT_NEAR(r.ms.PrgX, 0.05, 1e-9) << row.pauseAt;
    EXPECT_NEAR(r.ms.PrgY, 0.01, 1e-9) << row.pauseAt;
    EXPECT_EQ(r.DoneMessages(), 1) << row.pauseAt;
  }
}

// A paused and resumed move ends exactly where the same move ends
// uninterrupted, whatever its rounding of the remaining distance would give.
TEST(ResumeEnd, APausedMoveEndsWhereTheStraightRunEnds) {
  const char* programs[] = {
      "G01 X10.00125 F100\n",                                  // 1333.5 steps: even 1334
      "G01 X1.00125 Y0.50375 Z-0.10125 F300\n",                // halves on every axis
      "G00 X-3.00375 Y2.00125\n",                              // rapid, negative half
      "G01 X0.50375 F300\nG02 X2.50375 Y0 I1 J0 Z-0.30375\n",  // arc and its closing move
      "G81 X1.00125 Y0.50375 Z-0.3 R0.20375 F300\n",           // drilling rise and approach
      // An arc that starts at X 3 while the tool stands at 0 (G90 moved
      // nothing): its points lie steps away, so a repeated point would step.
      "G01 F300\nG90 X3\nG02 X-0.30375 I1 J0\n",
  };
  for (const char* program : programs) {
    struct End {
      double x, y, z;
      long pumps;
    };
    auto run = [&](long pauseAt) {
      TestRig r;  // 0.0075 per step: halves of the remaining distance round
      r.ms.Offline = true;
      r.LoadProgram(program);
      r.win.onPump = [&](long n) {
        if (n == pauseAt) Pause(r.core);
      };
      Execute(r.core);
      const long pumps = r.win.pumps;
      r.win.onPump = nullptr;
      if (pauseAt > 0) {
        EXPECT_TRUE(r.ms.StopRecordFilled()) << program << pauseAt;
        Execute(r.core);
      }
      EXPECT_EQ(r.ms.CurrentLine, r.store.LineCount + 1) << program << pauseAt;
      return End{r.ms.PrgX, r.ms.PrgY, r.ms.PrgZ, pumps};
    };
    const End straight = run(0);
    if (program == programs[0]) {
      EXPECT_NEAR(straight.x, 10.005, 1e-9);
    }
    const double step = 0.0075;
    for (long k : {1L, 2L, straight.pumps / 2, straight.pumps - 3, straight.pumps - 1}) {
      const End paused = run(k);
      // Net steps per axis and the end position: the same as the straight run.
      EXPECT_EQ(std::lround(paused.x / step), std::lround(straight.x / step)) << program << k;
      EXPECT_EQ(std::lround(paused.y / step), std::lround(straight.y / step)) << program << k;
      EXPECT_EQ(std::lround(paused.z / step), std::lround(straight.z / step)) << program << k;
      EXPECT_NEAR(paused.x, straight.x, 1e-9) << program << k;
      EXPECT_NEAR(paused.y, straight.y, 1e-9) << program << k;
      EXPECT_NEAR(paused.z, straight.z, 1e-9) << program << k;
    }
  }
}

// While anything moves the "Offline" box keeps its state either way, with a
// beep; every step of an online run still reaches the port.
TEST(OfflineBox, RefusedEitherWayWhileAProgramRuns) {
  for (bool offline : {true, false}) {
    RunRig r("G01 X1 F600\n", offline);
    r.win.onPump = [&](long n) {
      if (n == 5) SetOffline(r.core, !offline);
    };
    Execute(r.core);
    EXPECT_EQ(r.ms.Offline, offline);
    EXPECT_EQ(r.win.beeps, 1);
    EXPECT_NEAR(r.ms.PrgX, 1, 1e-9);
    EXPECT_EQ(r.XStepsOnPort(), offline ? 0 : 100);
    SetOffline(r.core, !offline);  // idle: the flag follows the box
    EXPECT_EQ(r.ms.Offline, !offline);
    EXPECT_EQ(r.win.beeps, 1);
  }
}

TEST(StepPreview, ForwardBackwardAndItsOwnRegisters) {
  RunRig r("G01 X1 F300\nX2 Y3\nX4\n");
  r.ms.MotionWord = "G00";
  r.ms.TargetX = 9;
  PreviewNextLine(r.core);
  PreviewNextLine(r.core);
  EXPECT_EQ(r.ms.PreviewLine, 2);
  EXPECT_EQ(r.win.previewLine, "X2 Y3");
  ASSERT_FALSE(r.win.dots.empty());
  EXPECT_EQ(r.win.dots[r.win.dots.size() - 2].colour, kBrightRed);
  EXPECT_EQ(r.win.dots[r.win.dots.size() - 2].x, 2);
  EXPECT_EQ(r.win.dots[r.win.dots.size() - 2].width, 3);
  // The run's registers are untouched.
  EXPECT_EQ(r.ms.MotionWord, "G00");
  EXPECT_EQ(r.ms.TargetX, 9);
  PreviewPreviousLine(r.core);
  EXPECT_EQ(r.ms.PreviewLine, 1);
  EXPECT_EQ(r.ms.PreviewRegs->TargetX, 1);
  EXPECT_EQ(r.ms.PreviewRegs->TargetY, 0);
  PreviewPreviousLine(r.core);  // at line 1: ends quietly at -1
  EXPECT_EQ(r.ms.PreviewLine, -1);
}

TEST(StepPreview, PastTheEndStartsOver) {
  RunRig r("G01 X1 F300\n");
  PreviewNextLine(r.core);
  PreviewNextLine(r.core);
  EXPECT_EQ(r.ms.PreviewLine, 0);
  EXPECT_EQ(r.win.penWidth, 1);
}

TEST(StepPreview, MoveToEndOfLineThenExecuteRunsTheNextLine) {
  RunRig r("G00 X1 Y1\nG01 X5 Y2 Z-1 F300\nX6\n");
  PreviewNextLine(r.core);
  PreviewNextLine(r.core);
  std::vector<std::array<double, 3>> at;
  r.win.onPump = [&](long) { at.push_back({r.ms.PrgX, r.ms.PrgY, r.ms.PrgZ}); };
  MoveToPreviewedLine(r.core);
  r.win.onPump = nullptr;
  // Z rises alone to 10 before X or Y moves, X and Y travel at 10, Z drops last.
  ASSERT_FALSE(at.empty());
  for (const auto& p : at) {
    auto near = [](double a, double b) { return std::fabs(a - b) < 1e-9; };
    if (p[2] < 10 - 1e-9) {
      EXPECT_TRUE((near(p[0], 0) && near(p[1], 0)) || (near(p[0], 5) && near(p[1], 2)));
    }
  }
  EXPECT_NEAR(r.ms.PrgX, 5, 1e-9);
  EXPECT_NEAR(r.ms.PrgZ, -1, 1e-9);
  EXPECT_TRUE(r.ms.StartFromLine());
  EXPECT_EQ(r.ms.CurrentLine, 2);
  EXPECT_EQ(r.win.runPanelShows, 1);
  SelectStepMode(r.core);
  Execute(r.core);
  EXPECT_EQ(r.ms.CurrentLine, 3);
  EXPECT_NEAR(r.ms.PrgX, 6, 1e-9);
  EXPECT_NEAR(r.ms.PrgY, 2, 1e-9);  // modal Y carried from the previewed line
  EXPECT_NEAR(r.ms.PrgZ, -1, 1e-9);
}

// From a tool low and away from program zero the first leg is Z alone: no X
// or Y travel below the height 10 except at the start and at the line's end.
TEST(StepPreview, MoveToEndOfLineFromALowToolAwayFromZeroRisesFirst) {
  RunRig r("G01 X5 Y2 Z-1 F300\n");
  r.ms.PrgX = 3, r.ms.PrgY = 4, r.ms.PrgZ = -2;
  PreviewNextLine(r.core);
  std::vector<std::array<double, 3>> at;
  r.win.onPump = [&](long) { at.push_back({r.ms.PrgX, r.ms.PrgY, r.ms.PrgZ}); };
  MoveToPreviewedLine(r.core);
  ASSERT_FALSE(at.empty());
  auto near = [](double a, double b) { return std::fabs(a - b) < 1e-9; };
  bool rose = false;
  for (const auto& p : at) {
    if (p[2] < 10 - 1e-9) {
      EXPECT_TRUE((near(p[0], 3) && near(p[1], 4)) || (near(p[0], 5) && near(p[1], 2)))
          << p[0] << " " << p[1] << " " << p[2];
    } else {
      rose = true;
    }
  }
  EXPECT_TRUE(rose);
  EXPECT_NEAR(r.ms.PrgX, 5, 1e-9);
  EXPECT_NEAR(r.ms.PrgZ, -1, 1e-9);
}

TEST(StepPreview, AStoppedMoveToLineDoesNotPositionTheRun) {
  RunRig r("G01 X5 Y2 Z-1 F300\nX6\n");
  PreviewNextLine(r.core);
  r.win.onPump = [&](long n) {
    if (n == 20) Pause(r.core);
  };
  MoveToPreviewedLine(r.core);
  EXPECT_FALSE(r.ms.StartFromLine());
  EXPECT_EQ(r.ms.CurrentLine, 0);
}

TEST(PulseLateness, MessageLineGivesTheWorstLatenessAfterARun) {
  struct Row {
    int64_t stall;  // ticks lost after the third pulse has fallen (19950 before the next)
    std::string line;
  } rows[] = {
      {0, "Pulses: worst lateness 0 us, 0 later than a quarter interval"},
      {24000, "Pulses: worst lateness 405 us, 0 later than a quarter interval"},
      {26000, "Pulses: worst lateness 605 us, 1 later than a quarter interval"},
  };
  for (const Row& row : rows) {
    RunRig r("G01 X0.12 F300\n", false);  // 12 steps at 500 steps/s
    bool stalled = false;
    r.win.onPump = [&](long) {
      if (!stalled && PulseTrain(r.port).size() == 3) r.clock.Advance(row.stall), stalled = true;
    };
    Execute(r.core);
    EXPECT_NEAR(r.ms.PrgX, 0.12, 1e-9);
    ASSERT_FALSE(r.win.statusLines.empty());
    EXPECT_EQ(r.win.statusLines.back(), row.line);
  }
}

}  // namespace
}  // namespace brimo::test
