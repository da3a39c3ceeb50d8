// Headless simulation: rows, totals and time of known programs, the pulse
// dump, the program check, the command line's exit statuses, and the
// agreement with an offline run through the window's core.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/gen_program.h"
#include "core/interpreter/draw_program.h"
#include "core/interpreter/interpret.h"
#include "core/interpreter/parser.h"
#include "core/interpreter/run_control.h"
#include "core/machine/config_file.h"
#include "core/machine/messages.h"
#include "core/machine/settings_form.h"
#include "core/plot/move_list.h"
#include "core/plot/plot_state.h"
#include "core/program/program_store.h"
#include "core/sim/program_check.h"
#include "core/sim/sim_command_line.h"
#include "core/sim/sim_engine.h"
#include "core/sim/vcd_writer.h"
#include "support/test_rig.h"

namespace brimo::test {
namespace {

namespace fs = std::filesystem;

// A folder of its own per test, removed afterwards.
class SimFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // A parameterised test's names hold a '/': one folder, not two, so
    // nothing is left behind.
    std::string name = std::string("brimo_sim_") + info->test_suite_name() + "_" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    dir_ = fs::temp_directory_path() / name;
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  // brimo.cfg (or `name`) with lead 4 and 400 steps per turn on every axis:
  // 0.01 length units per step; rapid rate 500.
  std::string WriteConfig(const std::string& folder = "", const std::string& name = "brimo.cfg") {
    MachineState ms;
    SettingsForm form;
    form.LeadX = form.LeadY = form.LeadZ = "4";
    form.StepsPerRevX = form.StepsPerRevY = form.StepsPerRevZ = "400";
    EXPECT_TRUE(ApplyFormSettings(ms, form, "0").ok);
    return Write((fs::path(folder) / name).string(), ConfigText(ms, form));
  }
  // Settings as the simulator takes them from that file.
  MachineState Settings() {
    WriteConfig("cfg");
    MachineState ms;
    SettingsForm form;
    EXPECT_TRUE(LoadConfiguration((dir_ / "cfg").string(), ms, form, "0").ok);
    return ms;
  }

  struct Result {
    int status;
    std::string out, err;
  };
  Result Main(std::vector<std::string> args) {
    args.insert(args.begin(), "brimocnc");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    std::ostringstream out, err;
    const int status = SimulateMain(static_cast<int>(argv.size()), argv.data(), out, err,
                                    (dir_ / "brimo.cfg").string());
    return {status, out.str(), err.str()};
  }

  fs::path dir_;
};

// Rows of a program run through Simulate with `settings`.
struct Simulated {
  std::vector<SimulationRow> rows;
  std::vector<Finding> findings;
  SimulationTotals totals;
};
Simulated SimulateText(const std::string& program, const MachineState& settings,
                       SimulationOptions o = SimulationOptions()) {
  TestRig loader;  // only for its program splitting
  loader.LoadProgram(program);
  Simulated s;
  s.totals = Simulate(
      loader.store, settings, o, [&](const SimulationRow& r) { s.rows.push_back(r); }, &s.findings);
  return s;
}

// ---- Rows, totals and time --------------------------------------------------

// 0.01 units per step, F120: 120 / 60 / 0.01 = 200 steps per second, one
// pulse every 5 ms. The counter starts at 0 when the run starts and the
// wait measures from the previous step write (the counter start for the
// first pulse), so the first pulse comes after a whole interval: 100 pulses
// end at 100 x 5 ms = 0.5 s.
TEST_F(SimFiles, HundredXStepsAtTwoHundredStepsPerSecondTakeHalfASecond) {
  const Simulated s = SimulateText("G01 X1 F120\n", Settings());
  ASSERT_EQ(s.rows.size(), 1u);
  const SimulationRow& r = s.rows[0];
  EXPECT_EQ(r.line, 1);
  EXPECT_EQ(r.text, "G01 X1 F120");
  EXPECT_EQ(r.motion, "G01");
  EXPECT_NEAR(r.x, 1, 1e-9);
  EXPECT_EQ(r.steps[0], 100);
  EXPECT_EQ(r.steps[1], 0);
  EXPECT_EQ(r.pulses, 100);
  EXPECT_DOUBLE_EQ(r.seconds, 0.5);
  EXPECT_DOUBLE_EQ(s.totals.seconds, 0.5);
  EXPECT_TRUE(s.totals.finished);
}

// A 45 degree move: X and Y step together on every pulse, so every interval
// after the first is stretched by 1/0.707 (the new line starts unstretched).
// The clock ticks in whole nanoseconds: each stretched interval is
// 5 ms / 0.707 = 7 072 135.8 ns on the schedule, and each pulse is written at
// the first whole nanosecond of its due time (no rounding adds up).
TEST_F(SimFiles, DiagonalMoveStretchesItsIntervalsByTheDecimalFactor) {
  const Simulated s = SimulateText("G01 X1 F120\nX2 Y1\n(done)\n", Settings());
  ASSERT_EQ(s.rows.size(), 3u);
  const SimulationRow& d = s.rows[1];
  EXPECT_EQ(d.motion, "G01");
  EXPECT_EQ(d.steps[0], 100);
  EXPECT_EQ(d.steps[1], 100);
  EXPECT_EQ(d.pulses, 100);
  const double byHand = 0.5 + 0.005 + 99 * (0.005 / 0.707);
  EXPECT_NEAR(d.seconds, byHand, 1e-7);
  EXPECT_NEAR(d.seconds, (505'000'000 + std::ceil(99 * (5e6 / 0.707))) * 1e-9, 1e-12);
  // The comment line moves nothing and takes no time.
  EXPECT_EQ(s.rows[2].text, "(done)");
  EXPECT_EQ(s.rows[2].pulses, 0);
  EXPECT_DOUBLE_EQ(s.rows[2].seconds, d.seconds);
  EXPECT_NEAR(s.rows[2].x, 2, 1e-9);
  EXPECT_NEAR(s.rows[2].y, 1, 1e-9);
  // Totals.
  EXPECT_EQ(s.totals.lines, 3);
  EXPECT_EQ(s.totals.pulses, 200);
  EXPECT_EQ(s.totals.steps[0], 200);
  EXPECT_EQ(s.totals.steps[1], 100);
  EXPECT_EQ(s.totals.steps[2], 0);
  EXPECT_DOUBLE_EQ(s.totals.seconds, d.seconds);
  EXPECT_NEAR(s.totals.prg[0], 2, 1e-9);
  EXPECT_NEAR(s.totals.mach[1], 1, 1e-9);
}

TEST_F(SimFiles, OverrideAndScaleFactorsActAsInTheWindow) {
  const MachineState settings = Settings();
  SimulationOptions faster;
  faster.overridePercent = 200;  // F120 runs at 240: 400 steps/s
  EXPECT_DOUBLE_EQ(SimulateText("G01 X1 F120\n", settings, faster).totals.seconds, 0.25);
  SimulationOptions wider;
  wider.scale[1] = 2;  // X1 is X2: 200 steps at 200 steps/s
  const Simulated w = SimulateText("G01 X1 F120\n", settings, wider);
  EXPECT_EQ(w.totals.steps[0], 200);
  EXPECT_DOUBLE_EQ(w.totals.seconds, 1.0);
  SimulationOptions slowFeed;
  slowFeed.scale[0] = 0.5;  // F60: 100 steps/s
  EXPECT_DOUBLE_EQ(SimulateText("G01 X1 F120\n", settings, slowFeed).totals.seconds, 1.0);
}

TEST_F(SimFiles, ToolChangeIsReportedAndTheRunGoesOn) {
  const Simulated s = SimulateText("G01 X1 F120\nM6 T2\nG01 X2\n", Settings());
  ASSERT_EQ(s.rows.size(), 3u);
  EXPECT_EQ(s.rows[1].note, std::string(msg::kSimNoteToolChange) + "2");
  EXPECT_FALSE(s.rows[1].refused);
  EXPECT_EQ(s.rows[1].pulses, 0);
  EXPECT_EQ(s.rows[2].steps[0], 100);
  EXPECT_TRUE(s.totals.finished);
  EXPECT_EQ(s.totals.toolChanges, 1);
  EXPECT_EQ(s.totals.refusedLines, 0);
  EXPECT_NEAR(s.totals.prg[0], 2, 1e-9);
  EXPECT_DOUBLE_EQ(s.totals.seconds, 1.0);
}

TEST_F(SimFiles, BadLineIsSkippedAndRefused) {
  const Simulated s = SimulateText("G01 X1E999 F120\nG01 X1 F120\n", Settings());
  ASSERT_EQ(s.rows.size(), 2u);
  EXPECT_TRUE(s.rows[0].refused);
  EXPECT_NE(s.rows[0].note.find(msg::kSimNoteBadLine), std::string::npos);
  EXPECT_EQ(s.rows[1].steps[0], 100);
  EXPECT_TRUE(s.totals.finished);
  EXPECT_EQ(s.totals.refusedLines, 1);
}

TEST_F(SimFiles, MoveWithoutFeedIsRefusedAndTheNextLineRuns) {
  const Simulated s = SimulateText("G01 X1\nG01 X2 F120\n", Settings());
  ASSERT_EQ(s.rows.size(), 2u);
  EXPECT_TRUE(s.rows[0].refused);
  EXPECT_EQ(s.rows[0].note, msg::kSimNoteZeroFeed);
  EXPECT_EQ(s.rows[0].pulses, 0);
  EXPECT_EQ(s.rows[1].steps[0], 200);  // from 0 to 2
  EXPECT_TRUE(s.totals.finished);
  EXPECT_EQ(s.totals.refusedLines, 1);
}

TEST_F(SimFiles, RefusedMoveIsGivenUpNotRetriedByTheLinesAfterIt) {
  // Without giving it up, the comment, the feed line and the pass after the
  // last line would each dispatch the modal G01 to X1 again.
  const Simulated s = SimulateText("G01 X1\n(comment)\nF120\n", Settings());
  ASSERT_EQ(s.rows.size(), 3u);
  EXPECT_TRUE(s.rows[0].refused);
  EXPECT_FALSE(s.rows[1].refused);
  EXPECT_EQ(s.rows[2].pulses, 0);
  EXPECT_EQ(s.totals.refusedLines, 1);
  EXPECT_EQ(s.totals.pulses, 0);
  EXPECT_TRUE(s.totals.finished);
}

TEST(EstimateRunSeconds, AgreesWithTheSimulationAndCanBeCancelled) {
  TestRig rig;
  rig.UniformAxes(0.01, 500);
  rig.store.Assign(bench::GenerateProgramLines(300));
  const double scale[4] = {1, 1, 1, 1};
  SimulationOptions o;
  o.rows = false;
  ProgramStore copy = rig.store;
  const SimulationTotals full = Simulate(copy, rig.ms, o);
  ASSERT_TRUE(full.finished);
  EXPECT_GT(full.pulses, 10000);
  EXPECT_NEAR(EstimateRunSeconds(rig.store, rig.ms, 100, scale), full.seconds, 1e-3 * full.seconds);
  std::atomic<bool> cancel{true};
  EXPECT_TRUE(std::isnan(EstimateRunSeconds(rig.store, rig.ms, 100, scale, &cancel)));
}

// ---- Direct move times (the run-time estimate) ---------------------------------

// A CAM-like contour of short moves (0.1 to 2 length units) with arcs between.
std::string ShortMoves() {
  std::string p = "G01 Z-1 F250\n";
  double x = 0, y = 0;
  for (int i = 0; i < 120; ++i) {
    const double len = 0.1 + 1.9 * ((i * 37) % 19) / 18.0, a = i * 0.7;
    x += len * std::cos(a), y += len * std::sin(a);
    p += "X" + std::to_string(x) + " Y" + std::to_string(y) + "\n";
    if (i % 15 == 14)
      p += "G02 X" + std::to_string(x + 1) + " Y" + std::to_string(y) + " I0.5 J0\nG01\n";
  }
  return p;
}

std::string Generated(long lines, uint64_t seed) {
  std::string p;
  for (const std::string& l : bench::GenerateProgramLines(lines, seed)) p += l + "\n";
  return p;
}

struct DirectCase {
  const char* name;
  std::string program;
  double overridePercent = 100;
  std::array<double, 4> scale = {1, 1, 1, 1};
  bool unequalAxes = false;  // X 0.01 per step, Y 0.0075, Z 0.005
};

void PrintTo(const DirectCase& c, std::ostream* os) { *os << c.name; }

class DirectEstimate : public ::testing::TestWithParam<DirectCase> {
 protected:
  MachineState Settings(bool unequal) {
    MachineState ms;
    SettingsForm form;
    if (unequal) {
      form.LeadX = "4", form.StepsPerRevX = "400";
      form.LeadZ = "2", form.StepsPerRevZ = "400";
    }
    EXPECT_TRUE(ApplyFormSettings(ms, form, "0").ok);
    return ms;
  }
};

// The direct mode makes each move's first pulse through the core and the
// rest at once; the time agrees with the pulse-by-pulse run within 0.1 %, and
// everything the window shows of the check is the same.
TEST_P(DirectEstimate, AgreesWithThePulseByPulseRunAndFindsTheSame) {
  const DirectCase& c = GetParam();
  const MachineState settings = Settings(c.unequalAxes);
  SimulationOptions o;
  o.overridePercent = c.overridePercent;
  for (int i = 0; i < 4; ++i) o.scale[i] = c.scale[i];
  o.check = true;
  o.drawingPass = false;
  const Simulated byPulse = SimulateText(c.program, settings, o);
  o.direct = true;
  const Simulated direct = SimulateText(c.program, settings, o);

  const SimulationTotals& p = byPulse.totals;
  const SimulationTotals& d = direct.totals;
  ASSERT_GT(p.seconds, 0);
  EXPECT_NEAR(d.seconds, p.seconds, 1e-3 * p.seconds);
  EXPECT_EQ(p.directPulses, 0);
  EXPECT_GT(d.directPulses, d.pulses / 2);  // most pulses made at once
  EXPECT_NEAR(static_cast<double>(d.pulses), static_cast<double>(p.pulses), 1e-3 * p.pulses);
  for (int a = 0; a < 3; ++a) {
    EXPECT_EQ(d.steps[a], p.steps[a]) << "axis " << a;
    EXPECT_NEAR(d.prg[a], p.prg[a], 1e-6) << "axis " << a;
  }
  EXPECT_EQ(d.finished, p.finished);
  EXPECT_EQ(d.lines, p.lines);
  EXPECT_EQ(d.toolChanges, p.toolChanges);
  EXPECT_EQ(d.refusedLines, p.refusedLines);
  ASSERT_EQ(direct.findings.size(), byPulse.findings.size());
  for (size_t i = 0; i < byPulse.findings.size(); ++i) {
    EXPECT_EQ(direct.findings[i].line, byPulse.findings[i].line);
    EXPECT_EQ(direct.findings[i].kind, byPulse.findings[i].kind);
    EXPECT_EQ(direct.findings[i].text, byPulse.findings[i].text);
    EXPECT_EQ(direct.findings[i].message, byPulse.findings[i].message);
  }
  // The window's call: the same direct run.
  TestRig loader;
  loader.LoadProgram(c.program);
  std::vector<Finding> findings;
  EXPECT_DOUBLE_EQ(EstimateRunSeconds(loader.store, settings, c.overridePercent, c.scale.data(),
                                      nullptr, &findings),
                   d.seconds);
  EXPECT_EQ(findings.size(), direct.findings.size());
}

INSTANTIATE_TEST_SUITE_P(
    Programs, DirectEstimate,
    ::testing::Values(
        DirectCase{"Straight", "G01 X50 F300\nX0\nG01 Y30\nY-12.3456\n"},
        DirectCase{"Diagonal", "G01 X40 Y40 F250\nX0 Y10\nX33.3 Y-7.1\nX-20 Y-19.99\n"},
        DirectCase{"ZMajor", "G01 Z-20 X3 Y2 F200\nG01 Z5 X-1 Y4\nZ-7 X2.5\n"},
        DirectCase{"ShortMoves", ShortMoves()},
        DirectCase{"Arcs",
                   "G01 X10 Y0 F300\nG02 X0 Y10 I-10 J0\nG03 X-10 Y0 I0 J-10\n"
                   "G02 X-10 Y0 I10 J0\nG03 X-9.5 Y3 I5 J1\nG02 X-8 Y2 I0.3 J0\n"},
        DirectCase{"ArcsOnUnequalAxes",
                   "G01 X10 Y0 F300\nG02 X0 Y10 I-10 J0\nG03 X10 Y0 I0 J-10\n"
                   "G02 X10 Y0 I-4 J-3\nG01 X33 Y-4 Z-2\n",
                   100,
                   {1, 1, 1, 1},
                   true},
        DirectCase{"DrillingWithPecks",
                   "G00 Z5\nG83 X10 Y10 Z-3 R1 Q3 F150\nX20\nX30 Y5\n"
                   "G81 X40 Y40 Z-1 R2 Q2 F100\nX45\nG00 Z5\n"},
        DirectCase{"OverrideAndScale",
                   "G01 X20 Y5 F200\nG02 X30 Y5 I5 J0\nG83 X10 Y10 Z-2 R1 Q2\nG00 X0 Y0\n",
                   37,
                   {0.8, 1.5, 0.5, 2}},
        DirectCase{"FastOverride", "G01 X20 Y5 F200\nG03 X10 Y5 I-5 J0\nG01 X0 Y0 Z-3\n", 250},
        DirectCase{"RapidAndFeed", "G00 X50 Y20 Z5\nG01 X0 Y0 Z0 F100\nG0 X30\nG1 Y30 F900\n"},
        DirectCase{"ToolChange", "G01 X10 F200\nM6 T2\nG01 X20 Y5\nM6 T3\nG00 Z5\n"},
        DirectCase{"WithFindings",
                   "G01 X1\nG01 X5 F100\nG21\nX7\ng01 x2\nG02 X10 Y1 I5 J0\n"
                   "G81 X5 Y5 R1\nG01 X1E999\n(A (B) C)\nM30\nG00 X0 Y0\n"},
        DirectCase{"GeneratedProgram", Generated(400, 5)}),
    [](const ::testing::TestParamInfo<DirectCase>& i) { return std::string(i.param.name); });

// ---- Holding a simulation ------------------------------------------------------

// Held before it starts, a simulation sleeps at the gate before its first
// line; held from its own row sink, it stops before the next line. Released,
// it ends with the figure of a run that was never held. No clock is read:
// the test waits for the worker to be asleep at the gate.
TEST(SimulationGate, HeldRunMakesNoProgressUntilReleased) {
  TestRig loader;
  loader.LoadProgram(Generated(60, 2));
  MachineState settings;
  SettingsForm form;
  ASSERT_TRUE(ApplyFormSettings(settings, form, "0").ok);
  SimulationOptions o;
  o.direct = true;
  ProgramStore unheldCopy = loader.store;
  long unheldRows = 0;
  const SimulationTotals unheld =
      Simulate(unheldCopy, settings, o, [&](const SimulationRow&) { ++unheldRows; });
  ASSERT_GT(unheldRows, 10);

  SimulationGate gate;
  o.gate = &gate;
  std::atomic<long> rows{0};
  std::atomic<bool> ended{false};
  SimulationTotals held;
  gate.Hold();
  std::thread worker([&] {
    held = Simulate(loader.store, settings, o, [&](const SimulationRow&) {
      if (rows.fetch_add(1) + 1 == 5) gate.Hold();  // again, from inside the run
    });
    ended = true;
  });
  // Asleep at the gate after `rows` rows, or (not held) already at its end.
  auto waitAsleep = [&](long after) {
    while (!(gate.Waiting() == 1 && rows >= after) && !ended) std::this_thread::yield();
  };
  waitAsleep(0);
  EXPECT_EQ(rows.load(), 0);  // not a line read
  gate.Release();
  waitAsleep(5);
  EXPECT_EQ(rows.load(), 5);  // stopped before the line after the fifth row
  EXPECT_TRUE(gate.Held());
  gate.Release();
  worker.join();
  EXPECT_EQ(rows.load(), unheldRows);
  EXPECT_TRUE(held.finished);
  EXPECT_EQ(held.seconds, unheld.seconds);
  EXPECT_EQ(gate.Waiting(), 0);
}

// A held run that is cancelled wakes and ends (the window's Cancel never
// waits for it, but it must not sleep for ever).
TEST(SimulationGate, CancelWakesAHeldRun) {
  TestRig loader;
  loader.LoadProgram("G01 X1 F100\n");
  const double scale[4] = {1, 1, 1, 1};
  SimulationGate gate;
  gate.Hold();
  std::atomic<bool> cancel{false}, ended{false};
  double seconds = 0;
  std::thread worker([&] {
    seconds = EstimateRunSeconds(loader.store, loader.ms, 100, scale, &cancel, nullptr, &gate);
    ended = true;
  });
  while (gate.Waiting() != 1 && !ended) std::this_thread::yield();
  EXPECT_FALSE(ended);
  cancel = true;
  gate.Wake();
  worker.join();
  EXPECT_TRUE(std::isnan(seconds));
  EXPECT_TRUE(gate.Held());
}

// ---- Agreement with the window's offline run -----------------------------------

TEST(SimulateAgainstOffline, EndPositionsEqualThoseOfAnOfflineRunThroughTheCore) {
  TestRig rig;  // default steps (0.0075 per step), an offline run as the window makes it
  rig.ms.Offline = true;
  std::vector<std::string> lines = bench::GenerateProgramLines(400, 7);
  lines.insert(lines.begin() + 200, "M6 T3");  // the run halts here; pressed on
  rig.store.Assign(lines);

  SimulationOptions o;
  o.rows = false;
  ProgramStore copy = rig.store;
  const SimulationTotals sim = Simulate(copy, rig.ms, o);
  ASSERT_TRUE(sim.finished);
  EXPECT_EQ(sim.toolChanges, 1);

  Execute(rig.core);
  for (int presses = 0; rig.ms.CurrentLine <= rig.store.LineCount && presses < 5; ++presses)
    Execute(rig.core);
  ASSERT_GT(rig.ms.CurrentLine, rig.store.LineCount);
  EXPECT_EQ(sim.prg[0], rig.ms.PrgX);
  EXPECT_EQ(sim.prg[1], rig.ms.PrgY);
  EXPECT_EQ(sim.prg[2], rig.ms.PrgZ);
  EXPECT_EQ(sim.mach[0], rig.ms.MachX);
  EXPECT_EQ(sim.mach[1], rig.ms.MachY);
  EXPECT_EQ(sim.mach[2], rig.ms.MachZ);
}

// ---- Pulse dump -------------------------------------------------------------------

TEST_F(SimFiles, DumpHasOneWirePerUsedPinAndTheStepTransitions) {
  const MachineState settings = Settings();  // default pins: X 3/2, Y 5/4, Z 7/6
  std::ostringstream dump;
  VcdWriter vcd(dump, VcdSignalsFor(settings), "test");
  SimulationOptions o;
  o.vcd = &vcd;
  // Two steps towards -X: the X direction line goes high alone, a pulse width
  // (5 us) before the first step.
  const Simulated s = SimulateText("G01 X-0.02 F120\n", settings, o);
  ASSERT_TRUE(vcd.Finish(static_cast<int64_t>(s.totals.seconds * 1e9)));
  const std::string text = dump.str();
  const std::string header =
      "$timescale 1 ns $end\n"
      "$scope module parport $end\n"
      "$var wire 1 ! X_dir $end\n"
      "$var wire 1 \" X_step $end\n"
      "$var wire 1 % Y_dir $end\n"
      "$var wire 1 & Y_step $end\n"
      "$var wire 1 ' Z_dir $end\n"
      "$var wire 1 ( Z_step $end\n"
      "$upscope $end\n$enddefinitions $end\n";
  EXPECT_NE(text.find(header), std::string::npos) << text;
  const std::string pulses =
      "#4995000\n1!\n"    // direction set up
      "#5000000\n1\"\n"   // first pulse after one interval: step rises
      "#5005000\n0\"\n"   // and stays high for the pulse width; dir stays
      "#10000000\n1\"\n"  // the direction is set: no set-up
      "#10005000\n0\"\n";
  EXPECT_NE(text.find(pulses), std::string::npos) << text;
  EXPECT_EQ(vcd.Changes(), 5);  // after the initial values
}

TEST(VcdSignals, UnusedPinsAreLeftOutAndASharedPinNamesBothUses) {
  TestRig rig;
  rig.ms.StepPinZ = "1";  // outside 2..9: drives nothing
  rig.ms.DirPinZ = "10";
  rig.ms.DirPinY = "3";  // the X step pin
  const std::vector<VcdSignal> s = VcdSignalsFor(rig.ms);
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0].pin, 2);
  EXPECT_EQ(s[0].name, "X_dir");
  EXPECT_EQ(s[1].pin, 3);
  EXPECT_EQ(s[1].name, "X_step_and_Y_dir");
  EXPECT_EQ(s[2].pin, 5);
  EXPECT_EQ(s[2].name, "Y_step");
}

TEST(VcdWriter, StepIsDrawnHalfTheGapWhenPulsesComeFasterThanTheNominalWidth) {
  std::ostringstream dump;
  VcdWriter vcd(dump, {{3, "X_step"}}, "");
  vcd.Pulse(100, 2, 0);
  vcd.Pulse(600, 2, 0);  // 500 ns later: the first step falls at 350
  ASSERT_TRUE(vcd.Finish(0));
  EXPECT_NE(dump.str().find("#100\n1!\n#350\n0!\n#600\n1!\n#1600\n0!\n"), std::string::npos)
      << dump.str();
}

TEST_F(SimFiles, WritingTheDumpDoesNotChangeTheTiming) {
  const MachineState settings = Settings();
  const std::string program = "G01 X1 Y0.5 F120\nG02 X2 Y0.5 I0.5 J0\nG81 X3 Y3 Z-1 R1 Q2\n";
  const Simulated plain = SimulateText(program, settings);
  std::ostringstream dump;
  VcdWriter vcd(dump, VcdSignalsFor(settings), "");
  SimulationOptions o;
  o.vcd = &vcd;
  const Simulated dumped = SimulateText(program, settings, o);
  ASSERT_EQ(plain.rows.size(), dumped.rows.size());
  for (size_t i = 0; i < plain.rows.size(); ++i)
    EXPECT_EQ(plain.rows[i].seconds, dumped.rows[i].seconds) << "line " << i + 1;
  EXPECT_EQ(plain.totals.seconds, dumped.totals.seconds);
  EXPECT_GT(vcd.Changes(), 2 * plain.totals.pulses);
}

// ---- Program check --------------------------------------------------------------

struct CheckCase {
  const char* name;
  const char* program;
  std::vector<std::pair<long, Finding::Kind>> expected;
};

class ProgramCheck : public SimFiles, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(ProgramCheck, FindsTheLinesThatWillNotDoWhatTheySeemTo) {
  const CheckCase& c = GetParam();
  SimulationOptions o;
  o.check = true;
  o.rows = false;
  const Simulated s = SimulateText(c.program, Settings(), o);
  std::vector<std::pair<long, Finding::Kind>> got;
  for (const Finding& f : s.findings) got.push_back({f.line, f.kind});
  EXPECT_EQ(got, c.expected);
  for (const Finding& f : s.findings) EXPECT_FALSE(f.message.empty());
}

using K = Finding::Kind;
INSTANTIATE_TEST_SUITE_P(
    Findings, ProgramCheck,
    ::testing::Values(
        CheckCase{
            "Clean", "G00 Z2\nG01 X1 Y1 Z-1 F120\nG02 X2 Y2 I1 J0\nG81 X5 Y5 Z-1 R1\nX6\n", {}},
        CheckCase{"CoordinatesAfterG21", "G01 X1 F120\nG21\nX2\n", {{3, K::kNoMotion}}},
        CheckCase{"TwoGWordsOnALine", "G01 F120\nG90 G01 X5\n", {{2, K::kNoMotion}}},
        CheckCase{"BadNumber", "G01 X1E999 F120\n", {{1, K::kBadLine}}},
        CheckCase{"ArcEndOffItsCircle", "G01 F120\nG02 X10 Y1 I5 J0\n", {{2, K::kArcOffCircle}}},
        CheckCase{"ArcEndOnItsCircle", "G01 F120\nG02 X10 Y0 I5 J0\n", {}},
        CheckCase{"DrillingWithoutR", "G01 F120\nG81 X5 Y5 Z-1\n", {{2, K::kDrillWithoutR}}},
        CheckCase{"DrillingWithoutZ", "G01 F120\nG81 X5 Y5 R1\n", {{2, K::kDrillWithoutZ}}},
        CheckCase{"ZeroFeed", "G01 X1\n", {{1, K::kZeroFeed}}},
        CheckCase{"ZeroFeedWrittenAsF0", "G01 X1 F0\n", {{1, K::kZeroFeed}}},
        // What a line's text says but the dialect does not do.
        CheckCase{"SkippedLinesThatCarryWords",
                  "G01 X1 F120\n(retract) G00 Z5\n10 G00 Z5\n/G00 Z6\n",
                  {{2, K::kSkippedWords}, {3, K::kSkippedWords}, {4, K::kSkippedWords}}},
        CheckCase{"SkippedLinesWithoutWords", "(header)\n%\n; G00 Z5\n100\nG01 X1 F120\n", {}},
        CheckCase{"TextThatIsNotANumber",
                  "G01 X1 F120\nG01 XNaN\nX.\nX--5\nG01 X2 F\n",
                  {{2, K::kNotANumber},
                   {3, K::kNotANumber},
                   {4, K::kNotANumber},
                   {5, K::kNotANumber},
                   {5, K::kZeroFeed}}},
        CheckCase{"LowerCaseWords",
                  "G01 X1 F120\ng01 x2\nG01 X3 y4\n",
                  {{2, K::kLowerCase}, {3, K::kLowerCase}}},
        CheckCase{"EndBeforeTheLastLine",
                  "G01 X1 F120\nM30\nG01 X2\nM2\n(end)\n%\n",
                  {{2, K::kEndBeforeLast}}},
        CheckCase{"DrillingRetractNotAboveTheDepth",
                  "G01 F120\nG83 X1 Y1 Z-5 R-10 Q1\nG81 X2 Y2 Z-1 R-1\nG81 X3 Y3 Z2 R1\n"
                  "G81 X4 Y4 Z-1 R1\n",
                  {{2, K::kBadLine}, {3, K::kBadLine}, {4, K::kBadLine}}},
        CheckCase{"NestedComment",
                  "G01 X2 (CUT (ROUGH) AT F300) Y1 F120\n(A (B) C)\n",
                  {{1, K::kNestedComment}, {2, K::kNestedComment}}},
        // Each offset alone is within 2^31 steps, the radius is not.
        CheckCase{
            "ArcOfTooManySteps", "G01 F120\nG02 X0 Y0 I20000000 J20000000\n", {{2, K::kRefused}}}),
    [](const ::testing::TestParamInfo<CheckCase>& i) { return std::string(i.param.name); });

// ---- Command line ------------------------------------------------------------------

TEST_F(SimFiles, TextOutputHasRowsAndSummary) {
  WriteConfig();
  const std::string program = Write("p.txt", "G01 X1 F120\nM6 T2\n");
  const Result r = Main({"--simulate", program});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(
      r.out.find("     1  G01          1.0000     0.0000     0.0000      100        0        0"
                 "      0.500000  G01 X1 F120\n"),
      std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("M6 T2  [tool change, T2]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("run time        0.500000 s (0:00:00.5)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("program         X 1.0000  Y 0.0000  Z 0.0000\n"), std::string::npos);
  EXPECT_NE(r.out.find("tool changes    1\n"), std::string::npos);
}

// Each axis counted under its own letter: different counts on X, Y and Z.
TEST_F(SimFiles, SummaryCountsEachAxissStepsUnderItsLetter) {
  WriteConfig();
  const std::string program = Write("p.txt", "G01 X1 Y0.5 Z-0.25 F120\n");
  const Result text = Main({"--simulate", program});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find(std::string(msg::kSimSteps) + "X 100  Y 50  Z 25\n"), std::string::npos)
      << text.out;
  const Result json = Main({"--simulate", program, "--json"});
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("\"steps\":[100,50,25],\"pulses\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"steps\":[100,50,25],\"run_time_s\""), std::string::npos) << json.out;
}

TEST_F(SimFiles, JsonLinesHaveOneObjectPerRowThenTheSummary) {
  WriteConfig();
  const std::string program = Write("p.txt", "G01 X1 F120 (say \"hi\")\n");
  const Result r = Main({"--simulate", program, "--json"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"type\":\"row\",\"line\":1,\"text\":\"G01 X1 F120 (say \\\"hi\\\")\","
            "\"motion\":\"G01\",\"x\":1.0000,\"y\":0.0000,\"z\":0.0000,\"steps\":[100,0,0],"
            "\"pulses\":100,\"time_s\":0.500000000,\"note\":\"\",\"refused\":false}\n"
            "{\"type\":\"summary\",\"finished\":true,\"lines\":1,\"pulses\":100,"
            "\"steps\":[100,0,0],\"run_time_s\":0.500000000,\"program\":[1.0000,0.0000,0.0000],"
            "\"machine\":[1.0000,0.0000,0.0000],\"tool_changes\":0,\"refused_lines\":0,"
            "\"worst_lateness_us\":0,\"late_pulses\":0}\n");
}

TEST_F(SimFiles, CheckListsFindingsWithLineNumbers) {
  WriteConfig();
  const std::string program = Write("p.txt", "G01 X1 F120\nG21\nX2\n");
  const Result r = Main({"--simulate", program, "--check"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, std::string("line 3: ") + msg::kCheckNoMotion + "\"G21\"\n    X2\n1" +
                       msg::kCheckFindings + "\n");
  const Result j = Main({"--simulate", program, "--check", "--json"});
  EXPECT_EQ(j.status, 1);
  EXPECT_EQ(
      j.out.rfind("{\"type\":\"finding\",\"line\":3,\"kind\":\"no_motion\",\"text\":\"X2\"", 0), 0u)
      << j.out;
  EXPECT_NE(j.out.find("\"findings\":1}\n"), std::string::npos);
}

// One line of each kind the text check names, each listed with its line
// number; the exit status says there is something to look at.
TEST_F(SimFiles, CheckListsEveryKindOfSilentLine) {
  WriteConfig();
  const std::string program = Write("p.txt",
                                    "G01 X1 F120\n"                      // 1
                                    "(retract) G00 Z5\n"                 // 2
                                    "10 G00 Z5\n"                        // 3
                                    "G01 XNaN\n"                         // 4
                                    "X.\n"                               // 5
                                    "X--5\n"                             // 6
                                    "g01 x2\n"                           // 7
                                    "G83 X1 Y1 Z-5 R-10 Q1\n"            // 8
                                    "G01 X2 (CUT (ROUGH) AT F300) Y1\n"  // 9
                                    "M30\n"                              // 10
                                    "G01 X3\n");                         // 11
  const std::pair<int, const char*> expected[] = {
      {2, "skipped_words"}, {3, "skipped_words"},  {4, "not_a_number"},
      {5, "not_a_number"},  {6, "not_a_number"},   {7, "lower_case"},
      {8, "bad_line"},      {9, "nested_comment"}, {10, "end_before_last"}};
  const Result r = Main({"--simulate", program, "--check"});
  EXPECT_EQ(r.status, 1);
  for (const auto& [line, kind] : expected)
    EXPECT_NE(r.out.find("line " + std::to_string(line) + ": "), std::string::npos) << line << "\n"
                                                                                    << r.out;
  EXPECT_NE(r.out.find("\n9" + std::string(msg::kCheckFindings)), std::string::npos) << r.out;
  const Result j = Main({"--simulate", program, "--check", "--json"});
  EXPECT_EQ(j.status, 1);
  for (const auto& [line, kind] : expected)
    EXPECT_NE(j.out.find("\"line\":" + std::to_string(line) + ",\"kind\":\"" + kind + "\""),
              std::string::npos)
        << line << " " << kind << "\n"
        << j.out;
}

// The simulation reads the brimo.cfg the window reads (here dir_/brimo.cfg,
// as Main passes it), never one in the program's folder; --config wins.
TEST_F(SimFiles, ConfigurationIsTheWindowsOwnOrFromConfig) {
  const std::string program = Write("programs/p.txt", "G01 X1 F120\n");
  Write("programs/brimo.cfg", "abc\r\n");  // beside the program: not read
  const std::string other = WriteConfig("elsewhere", "machine.cfg");
  // The defaults (3 / 400) give 133 steps; the written files 0.01 per step.
  const Result defaults = Main({"--simulate", program, "--json"});
  EXPECT_EQ(defaults.status, 0) << defaults.err;
  EXPECT_NE(defaults.out.find("\"steps\":[133,0,0]"), std::string::npos) << defaults.out;
  EXPECT_NE(Main({"--simulate", program, "--config", other, "--json"}).out.find("[100,0,0]"),
            std::string::npos);
  WriteConfig();
  EXPECT_NE(Main({"--simulate", program, "--json"}).out.find("\"steps\":[100,0,0]"),
            std::string::npos);
  EXPECT_NE(Main({"--simulate=" + program, "--config=" + other, "--json"}).out.find("[100,0,0]"),
            std::string::npos);
}

TEST_F(SimFiles, VcdFileIsWritten) {
  WriteConfig();
  const std::string program = Write("p.txt", "G01 X0.02 F120\n");
  const std::string vcd = (dir_ / "p.vcd").string();
  const Result r = Main({"--simulate", program, "--vcd", vcd, "--json"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::ifstream in(vcd, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.rfind("$comment BrimoCNC simulation of p.txt $end\n", 0), 0u) << text;
  EXPECT_NE(text.find("#5000000\n1\"\n#5005000\n0\"\n#10000000\n1\"\n#10005000\n0\"\n"),
            std::string::npos)
      << text;
}

struct StatusCase {
  const char* name;
  std::vector<std::string> args;  // "P" stands for a clean program, "R" a refused one
  int status;
};

class ExitStatus : public SimFiles, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(ExitStatus, TellsWhetherTheProgramCanBeRun) {
  WriteConfig();
  const std::string clean = Write("clean.txt", "G01 X1 F120\n");
  const std::string refused = Write("refused.txt", "G01 X1\n");
  const std::string bad = Write("bad.txt", "G01 X1E999 F120\n");
  std::vector<std::string> args;
  for (const std::string& a : GetParam().args) {
    if (a == "P")
      args.push_back(clean);
    else if (a == "R")
      args.push_back(refused);
    else if (a == "B")
      args.push_back(bad);
    else if (a == "D") {  // the window's own brimo.cfg damaged
      Write("brimo.cfg", "abc\r\n");
      args.push_back(clean);
    } else if (a == "NUL")
      // Not "nul.txt": on Windows that names the NUL device whatever the folder.
      args.push_back(Write("nul_bytes.txt", std::string("G01 X1 F120\n\0\0", 14)));
    else if (a == "UTF16")
      args.push_back(Write("utf16.txt", std::string("\xFF\xFEG\0"
                                                    "1\0\n\0",
                                                    8)));
    else if (a == "DIR")
      args.push_back(dir_.string());
    else if (a == "MISSING")
      args.push_back((dir_ / "missing.txt").string());
    else
      args.push_back(a);
  }
  const Result r = Main(args);
  EXPECT_EQ(r.status, GetParam().status) << r.out << r.err;
  if (r.status == 2) {
    EXPECT_EQ(r.err.rfind(msg::kSimPrefix, 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, ExitStatus,
    ::testing::Values(
        StatusCase{"Clean", {"--simulate", "P"}, 0},
        StatusCase{"CleanCheck", {"--simulate", "P", "--check"}, 0},
        StatusCase{"AllOptions",
                   {"--simulate", "P", "--override", "150", "--scale", "1,1,1,1", "--json"},
                   0},
        StatusCase{"RefusedMove", {"--simulate", "R"}, 1},
        StatusCase{"RefusedMoveChecked", {"--simulate", "R", "--check"}, 1},
        StatusCase{"BadLine", {"--simulate", "B"}, 1}, StatusCase{"NoArguments", {}, 2},
        StatusCase{"NoProgramFile", {"--simulate"}, 2},
        StatusCase{"UnknownOption", {"--simulate", "P", "--fast"}, 2},
        StatusCase{"StrayArgument", {"--simulate", "P", "extra"}, 2},
        StatusCase{"OptionsBeforeTheProgram", {"--simulate", "--check", "R"}, 1},
        StatusCase{"SimulateLast", {"P", "--json", "--simulate"}, 0},
        StatusCase{"ProgramTwice", {"--simulate=P", "P"}, 2},
        StatusCase{"OptionTwice", {"--simulate", "P", "--json", "--json"}, 2},
        StatusCase{"OverrideNotANumber", {"--simulate", "P", "--override", "abc"}, 2},
        StatusCase{"OverrideOutOfRange", {"--simulate", "P", "--override", "1000"}, 2},
        StatusCase{"ScaleTooShort", {"--simulate", "P", "--scale", "1,2"}, 2},
        StatusCase{"ScaleNotANumber", {"--simulate", "P", "--scale", "1,x,1,1"}, 2},
        StatusCase{"MissingProgram", {"--simulate", "MISSING"}, 2},
        StatusCase{"ProgramIsAFolder", {"--simulate", "DIR"}, 2},
        StatusCase{"ProgramIsNotText", {"--simulate", "NUL"}, 2},
        StatusCase{"ProgramIsUtf16", {"--simulate", "UTF16"}, 2},
        StatusCase{"MissingConfig", {"--simulate", "P", "--config", "MISSING"}, 2},
        StatusCase{"DamagedOwnConfig", {"--simulate", "D"}, 2},
        StatusCase{"DumpUnwritable", {"--simulate", "P", "--vcd", "DIR"}, 2}),
    [](const ::testing::TestParamInfo<StatusCase>& i) { return std::string(i.param.name); });

// ---- Report helpers -------------------------------------------------------------

TEST(JsonString, EscapesQuotesBackslashesAndControlsAndKeepsItValidUtf8) {
  EXPECT_EQ(JsonString("G01 (a \"b\" \\ c)"), "\"G01 (a \\\"b\\\" \\\\ c)\"");
  EXPECT_EQ(JsonString("a\tb\r\n\x01"), "\"a\\tb\\r\\n\\u0001\"");
  EXPECT_EQ(JsonString("\xC3\xA9"), "\"\xC3\xA9\"");                   // UTF-8 e acute kept
  EXPECT_EQ(JsonString("\xE9t\xE9"), "\"\\u00e9t\\u00e9\"");           // Latin-1 bytes
  EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\\u00ed\\u00a0\\u0080\"");  // a surrogate is not UTF-8
}

TEST(ClockText, HoursMinutesSecondsAndTenths) {
  EXPECT_EQ(ClockText(0.5), "0:00:00.5");
  EXPECT_EQ(ClockText(3723.44), "1:02:03.4");
  EXPECT_EQ(ClockText(59.96), "0:01:00.0");
}

struct CommandCase {
  std::vector<std::string> args;
  CommandKind kind;
  std::string programFile;  // or, for kUnusable, the start of the problem
  bool offline = false, safetyDialog = true;
};

// Read before any window exists: a start without a display still answers
// --help, --version and a mistyped option.
TEST(ReadCommandLine, TellsWhatAStartAsksFor) {
  const CommandCase cases[] = {
      {{}, CommandKind::kWindow, ""},
      {{"p.nc", "--offline", "--no-safety-dialog"}, CommandKind::kWindow, "p.nc", true, false},
      {{"-platform", "offscreen", "p.nc"}, CommandKind::kWindow, "p.nc"},
      {{"--simulate", "p.nc", "--help"}, CommandKind::kHelp, ""},
      {{"--bogus", "-h"}, CommandKind::kHelp, ""},
      {{"p.nc", "--version"}, CommandKind::kVersion, ""},
      {{"--check", "--simulate", "p.nc"}, CommandKind::kSimulate, ""},
      {{"--bogus"}, CommandKind::kUnusable, "unknown option \"--bogus\""},
      {{"-x", "p.nc"}, CommandKind::kUnusable, "unknown option \"-x\""},
      {{"a.nc", "b.nc"}, CommandKind::kUnusable, "more than one program file"},
  };
  for (const CommandCase& t : cases) {
    std::vector<std::string> words{"brimocnc"};
    words.insert(words.end(), t.args.begin(), t.args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    const Command c = ReadCommandLine(static_cast<int>(argv.size()), argv.data());
    const std::string shown = ::testing::PrintToString(t.args);
    ASSERT_EQ(c.kind, t.kind) << shown;
    if (t.kind == CommandKind::kUnusable) {
      EXPECT_EQ(c.problem.rfind(t.programFile, 0), 0u) << shown << ": " << c.problem;
    } else {
      EXPECT_EQ(c.programFile, t.programFile) << shown;
      EXPECT_EQ(c.offline, t.offline) << shown;
      EXPECT_EQ(c.safetyDialog, t.safetyDialog) << shown;
    }
  }
  EXPECT_NE(CommandLineHelp().find("--simulate"), std::string::npos);
  EXPECT_NE(CommandLineHelp().find("Exit status"), std::string::npos);
}

TEST(WantsSimulation, OnlyWithTheSimulateOption) {
  char a0[] = "brimocnc", a1[] = "--offline", a2[] = "--simulate=p.txt", a3[] = "p.txt";
  char* with[] = {a0, a1, a2};
  char* without[] = {a0, a1, a3};
  EXPECT_TRUE(WantsSimulation(3, with));
  EXPECT_FALSE(WantsSimulation(3, without));
}

}  // namespace
}  // namespace brimo::test

namespace brimo::test {
namespace {

// ---- Settings and registers as values -------------------------------------------

TEST(MachineValues, SettingsCopyAsOneValueAndMotionWordsDecodeOnce) {
  MachineState from;
  from.LeadX = 5, from.StepPinZ = "7", from.HomeFeedrate = "40", from.UnitsInch = true;
  from.FinestStepXY = 0.01, from.PulseWidthUs = 9, from.StepMaskY = 8;
  from.PrgX = 3, from.TargetX = 4;  // live state: not a setting
  MachineState to;
  CopySettings(from, to);
  const MachineSettings& settings = from;
  const DerivedSettings& derived = from;
  EXPECT_TRUE(static_cast<const MachineSettings&>(to) == settings);
  EXPECT_TRUE(static_cast<const DerivedSettings&>(to) == derived);
  EXPECT_EQ(to.PrgX, 0);
  EXPECT_EQ(to.TargetX, 0);

  const struct {
    const char* text;
    MotionKind kind;
  } words[] = {
      {"G00", MotionKind::kRapid},  {"G0", MotionKind::kRapid},     {"G01", MotionKind::kFeed},
      {"G1", MotionKind::kFeed},    {"G02", MotionKind::kArcCw},    {"G2", MotionKind::kArcCw},
      {"G03", MotionKind::kArcCcw}, {"G3", MotionKind::kArcCcw},    {"G81", MotionKind::kDrill},
      {"G83", MotionKind::kDrill},  {"G90 G01", MotionKind::kNone}, {"G21", MotionKind::kNone},
      {"", MotionKind::kNone}};
  for (const auto& w : words) {
    Registers regs;
    regs.MotionWord = w.text;
    EXPECT_EQ(regs.MotionWord.Kind(), w.kind) << w.text;
    EXPECT_EQ(regs.MotionWord, w.text);  // the text stays as written
  }
}

}  // namespace
}  // namespace brimo::test

namespace brimo::test {
namespace {

// ---- The move list: one parse at the load, the same moves as the run ---------------

// Collects the moves of a walk that reads each line the way the run does
// (ParseLine, then EmitLine); an arc keeps what the machine's set-up keeps.
class RunMoves : public MoveSink {
 public:
  explicit RunMoves(double finestStep) : finestStep_(finestStep) {}
  std::vector<ListedMove> moves;
  long line = 0;
  void Rapid(const StraightCall& m) override {
    Add(ListedKind::kRapid, m.startX, m.startY, m.x, m.y);
  }
  void Feed(const StraightCall& m) override {
    Add(ListedKind::kFeed, m.startX, m.startY, m.x, m.y);
  }
  ArcOffsets Arc(const ArcCall& a) override {
    ListedMove& m = Add(ListedKind::kArc, a.startX, a.startY, a.x, a.y);
    m.i = a.i, m.j = a.j, m.clockwise = a.clockwise, m.longWord = a.longWord;
    const double r = std::hypot(a.i, a.j);
    if (r > 0 && std::isfinite(r) && !(finestStep_ > 0 && r / finestStep_ > 2147483648.0))
      return StartOffsetOf(a.i, a.j);
    return {a.i, a.j};
  }
  void Drill(const DrillCall& d) override { Add(ListedKind::kDrill, d.startX, d.startY, d.x, d.y); }
  void ToolChange(std::string_view) override {}

 private:
  ListedMove& Add(ListedKind kind, double sx, double sy, double x, double y) {
    ListedMove m;
    m.startX = sx, m.startY = sy, m.x = x, m.y = y;
    m.line = static_cast<int32_t>(line);
    m.kind = kind;
    moves.push_back(m);
    return moves.back();
  }
  double finestStep_;
};

TEST(MoveList, TheListAndTheRunMakeTheSameMovesOnEverySampleAndGeneratedProgram) {
  std::vector<std::pair<std::string, std::vector<std::string>>> programs;
  for (const auto& entry : std::filesystem::directory_iterator(BRIMO_SOURCE_DIR "/gcodes")) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> lines{std::string()};
    SplitProgramText(text.str(), lines);
    programs.push_back({entry.path().filename().string(), lines});
  }
  ASSERT_GE(programs.size(), 4u);
  for (uint64_t seed : {1, 2, 3}) {
    std::vector<std::string> lines{std::string()};
    for (auto& l : bench::GenerateProgramLines(3000, seed)) lines.push_back(l);
    programs.push_back({"generated seed " + std::to_string(seed), lines});
  }
  for (const auto& [name, lines] : programs) {
    TestRig rig;
    rig.UniformAxes(0.0075, 500);
    rig.store.Assign({lines.begin() + 1, lines.end()});
    rig.plot.RefitExtents = true;
    DrawProgram(rig.core);  // builds the list, as a load does
    ASSERT_TRUE(rig.plot.Moves) << name;
    const MoveList& list = *rig.plot.Moves;

    Registers regs;
    RunMoves run(rig.ms.FinestStepXY);
    for (long i = 1; i <= rig.store.LineCount; ++i) {
      run.line = i;
      EmitLine(regs, ParseLine(rig.store.Entry(i), ScaleValues{}, rig.ms, regs), run);
    }
    ASSERT_EQ(list.moves.size(), run.moves.size()) << name;
    ASSERT_FALSE(run.moves.empty()) << name;
    for (size_t k = 0; k < run.moves.size(); ++k) {
      const ListedMove &a = list.moves[k], &b = run.moves[k];
      ASSERT_TRUE(a.kind == b.kind && a.line == b.line && a.startX == b.startX &&
                  a.startY == b.startY && a.x == b.x && a.y == b.y && a.i == b.i && a.j == b.j &&
                  a.clockwise == b.clockwise && a.longWord == b.longWord)
          << name << ": move " << k << " of line " << b.line;
    }
  }
}

TEST(MoveList, ARedrawReadsTheListAndAChangedInputBuildsItAgain) {
  TestRig rig;
  rig.UniformAxes(0.01, 500);
  rig.LoadProgram("G00 X10 Y0\nG01 X10 Y10 F100\n");
  rig.plot.RefitExtents = true;
  DrawProgram(rig.core);
  ASSERT_EQ(rig.plot.Moves->moves.size(), 2u);
  rig.plot.Moves->moves.pop_back();  // a redraw with the same inputs reads the list as it is
  DrawProgram(rig.core);
  EXPECT_EQ(rig.plot.Moves->moves.size(), 1u);
  rig.ms.ProgramFeed = 999, rig.ms.MCode = 6;  // registers no listed move depends on
  DrawProgram(rig.core);
  EXPECT_EQ(rig.plot.Moves->moves.size(), 1u);
  rig.ms.MotionWord = "G01";  // the walk starts in another mode: built again
  DrawProgram(rig.core);
  EXPECT_EQ(rig.plot.Moves->moves.size(), 2u);
  rig.plot.Moves->moves.pop_back();
  rig.store.Assign({"G00 X10 Y0", "G01 X20 Y10 F100"});  // another text: built again
  DrawProgram(rig.core);
  ASSERT_EQ(rig.plot.Moves->moves.size(), 2u);
  EXPECT_EQ(rig.plot.Moves->moves[1].x, 20);
  EXPECT_EQ(rig.plot.PlotXMax, 20);
}

// A load makes the list in one piece: room for a move a line from the start,
// so a large program's moves are never copied while the list grows (which
// would hold them twice in memory for a moment).
TEST(MoveList, HasRoomForAMoveALineBeforeTheWalk) {
  TestRig rig;
  rig.UniformAxes(0.01, 500);
  rig.LoadProgram("G00 X10 Y0\nG01 X10 Y10 F100\nX0\nY0\nG02 X10 Y0 I5 J0\n");
  DrawProgram(rig.core);
  ASSERT_TRUE(rig.plot.Moves);
  EXPECT_EQ(rig.plot.Moves->moves.size(), 5u);
  EXPECT_EQ(rig.plot.Moves->moves.capacity(), 5u);
}

}  // namespace
}  // namespace brimo::test
