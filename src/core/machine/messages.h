// Every operator-visible text of the core, in one place. The long-standing
// texts operators know are kept letter for letter, misspellings included
// ("succesfully", "Continous", "Overide").
#pragma once

namespace brimo::msg {

inline constexpr const char* kAppTitle = "BrimoCNC";
inline constexpr const char* kLimitZone = "Limit Zone";
inline constexpr const char* kNoCounter = "High-resolution counter not supported.";
inline constexpr const char* kToolChange = "Change to tool #";
inline constexpr const char* kDone = "File succesfully processed";
inline constexpr const char* kDoneTitle = "Done";
inline constexpr const char* kResetQuestion = "Are you sure to reset the file?";
inline constexpr const char* kResetTitle = "Resetting File";

// Newer texts (mends and reports the early versions did not have).
inline constexpr const char* kBadRateTitle = "Move not started";
inline constexpr const char* kBadRate =
    "The move was not started: its step rate is not a positive number "
    "(no feed rate set yet, or a feed or override of 0). Set a feed rate "
    "(an F word) or a positive override and try again.";
inline constexpr const char* kPortTitle = "Parallel port";
inline constexpr const char* kPortFailed =
    "No pulse was sent: the parallel port could not be opened.\n\n";
inline constexpr const char* kPortOffline =
    "\n\nBrimoCNC now works offline (the \"Offline\" box is ticked). Untick it "
    "to try the port again.";
inline constexpr const char* kConfigTitle = "Configuration";
inline constexpr const char* kConfigDamaged =
    "The configuration file brimo.cfg could not be read completely.\n";
inline constexpr const char* kConfigNotSaved = "The configuration could not be saved.\n";

// ---- Configuration file and settings form ------------------------------
// Why a line of brimo.cfg could not be used: "Line N could not be read: "
// and a reason; the value as read, in quotes, precedes the "is not" texts.
inline constexpr const char* kConfigLine = "Line ";
inline constexpr const char* kConfigLineUnread = " could not be read: ";
inline constexpr const char* kConfigCannotOpen = "The file could not be opened";
inline constexpr const char* kConfigWriteFailed =
    "BrimoCNC could not write brimo.cfg in the folder ";
inline constexpr const char* kConfigTooShort = "the file ends before it (48 lines are needed)";
inline constexpr const char* kConfigNotNumber = " is not a number";
inline constexpr const char* kConfigNotCheck = " is not 0 or 1";
inline constexpr const char* kConfigNotBoolean = " is not True or False";
inline constexpr const char* kConfigNotKept =
    "The damaged file could not be kept as brimo.cfg.bad, so it was left as it is "
    "and no new brimo.cfg was written: ";

// Field names as the operator finds them in the settings dialog.
inline constexpr const char* kFieldLead[3] = {"Lead X", "Lead Y", "Lead Z"};
inline constexpr const char* kFieldSteps[3] = {"Steps per turn X", "Steps per turn Y",
                                               "Steps per turn Z"};
inline constexpr const char* kFieldToolChange[3] = {"Tool change X", "Tool change Y",
                                                    "Tool change Z"};
// Fast, medium, slow for X, then Y, then Z.
inline constexpr const char* kFieldRate[9] = {"Fast rate X", "Medium rate X", "Slow rate X",
                                              "Fast rate Y", "Medium rate Y", "Slow rate Y",
                                              "Fast rate Z", "Medium rate Z", "Slow rate Z"};
inline constexpr const char* kFieldZHoming = "Z distance (Homing)";
inline constexpr const char* kFieldZToLine = "Z distance (To line)";
// The step and direction lines: X step, X dir, Y step, Y dir, Z step, Z dir.
inline constexpr const char* kFieldLine[6] = {"X step", "X dir",  "Y step",
                                              "Y dir",  "Z step", "Z dir"};

// A unit change met a field that is not a number (the field's name follows).
inline constexpr const char* kUnitsTitle = "Select Units";
inline constexpr const char* kUnitsNotChanged =
    "The units were not changed, because this field does not hold a number: ";

// "Ok" refused: the settings were not saved.
inline constexpr const char* kSettingsNotSavedTitle = "Settings not saved";
inline constexpr const char* kSettingsNotPositive = " must be a positive number; it reads ";
inline constexpr const char* kSettingsSharedPin = " both use pin ";
inline constexpr const char* kSettingsOwnPin =
    ". Every step and direction line needs a pin of its own.";
inline constexpr const char* kSettingsNotSaved = "\n\nThe settings were not saved.";

// ---- Program loading (plot core): why a program file could not be loaded.
inline constexpr const char* kProgramNotOpened = "The program file could not be opened: ";
inline constexpr const char* kProgramNotRead = "The program file could not be read: ";
inline constexpr const char* kProgramIsFolder = " (it is a folder, not a file).";
inline constexpr const char* kProgramTooLarge = " (it is too large for the memory available).";

// ---- G-code interpreter (parser, dispatch, arcs, drilling) ----------------
// Reasons a program line is marked bad, after the word itself ("X1E999").
inline constexpr const char* kNotFinite = ": not a finite number";
inline constexpr const char* kTooManySteps =
    ": the move would need more than 2147483648 steps on one axis";
inline constexpr const char* kTooManyPecks = ": more than 10000 pecks";
// A straight move or an arc refused at its set-up (the same limits).
inline constexpr const char* kMoveTooLongTitle = "Move not started";
inline constexpr const char* kMoveTooLong =
    "The move was not started: it would need more than 2147483648 steps on "
    "one axis, or its target is not a finite number. Check the coordinates "
    "of the line.";

}  // namespace brimo::msg

// ---- Window texts: main window and program loading --------------------------
namespace brimo::msg {

inline constexpr const char* kOpenTitle = "Open";
inline constexpr const char* kOpenFailed = "The program file could not be read:\n";
inline constexpr const char* kOpenWhileRunning =
    "A program or a move is running. Press \"Pause\" and let it stop before "
    "opening another file.";

}  // namespace brimo::msg

// ---- Run control and step preview ------------------------------------------
namespace brimo::msg {

inline constexpr const char* kNoProgramTitle = "Execute Program";
inline constexpr const char* kNoProgram =
    "No program is loaded. Open a G-code file with File > Open first.";
inline constexpr const char* kBadLineTitle = "Line not executed";
// "Line 12: X1E999 Y0" + reason, then this.
inline constexpr const char* kBadLineStopped =
    "\n\nThe run stopped before this line; nothing was moved for it.";
inline constexpr const char* kBadLineSkip =
    "\n\nSkip this line and continue the program with the next one?";

}  // namespace brimo::msg

// ---- Operator panels ----------------------------------------------------------
namespace brimo::msg {

inline constexpr const char* kHomeTitle = "Home the Machine";
inline constexpr const char* kHomeFeedBad =
    "The home move was not started: \"Feedrate:\" must hold a positive number "
    "(length units per minute).";
inline constexpr const char* kOverrideTitle = "%Overide";
inline constexpr const char* kOverrideBad =
    "The override must be a number from 2 to 500 (percent). The last valid "
    "value stays in force.";

}  // namespace brimo::msg

// ---- Headless simulation and program check (brimocnc --simulate) -----------
namespace brimo::msg {

inline constexpr const char* kSimUsage =
    "usage: brimocnc --simulate FILE [--config FILE] [--override PERCENT] "
    "[--scale F,X,Y,Z] [--json] [--check] [--vcd FILE]";
inline constexpr const char* kSimPrefix = "brimocnc: ";
inline constexpr const char* kSimNoProgram = "--simulate needs a program file";
inline constexpr const char* kSimNeedsValue = " needs a value";
inline constexpr const char* kSimUnknownOption = "unknown option ";
inline constexpr const char* kSimTwice = " is given twice";
inline constexpr const char* kSimBadOverride =
    "--override must be a number from 2 to 500 (percent), not ";
inline constexpr const char* kSimBadScale =
    "--scale must be four numbers F,X,Y,Z separated by commas, not ";
inline constexpr const char* kSimProgramUnread = "the program could not be read: ";
inline constexpr const char* kSimConfigUnread = "the configuration could not be loaded: ";
inline constexpr const char* kSimVcdUnwritable = "the pulse dump could not be written: ";
inline constexpr const char* kSimStuck = "the run stopped at line ";
inline constexpr const char* kSimStuckEnd = " and could not go on";
inline constexpr const char* kSimFailed = "the simulation failed: ";

// Report: the row heading (columns as the rows lay them out) and the
// summary labels, padded to one width.
inline constexpr const char* kSimRowHeading =
    "  line  motion            X          Y          Z  steps X  steps Y  steps Z        time s  "
    "text\n";
inline constexpr const char* kSimLines = "lines read      ";
inline constexpr const char* kSimPulses = "pulses          ";
inline constexpr const char* kSimSteps = "steps           ";
inline constexpr const char* kSimRunTime = "run time        ";
inline constexpr const char* kSimProgramPos = "program         ";
inline constexpr const char* kSimMachinePos = "machine         ";
inline constexpr const char* kSimToolChanges = "tool changes    ";
inline constexpr const char* kSimRefusedLines = "refused lines   ";

// Row notes.
inline constexpr const char* kSimNoteToolChange = "tool change, T";
inline constexpr const char* kSimNoteBadLine = "not executed: ";
inline constexpr const char* kSimNoteZeroFeed = "move refused: no feed rate";
inline constexpr const char* kSimNoteRefused = "move refused: ";

// Findings of --check.
inline constexpr const char* kCheckNoMotion =
    "coordinates on a line whose motion word makes no move: ";
inline constexpr const char* kCheckBadLine = "not executed, the line is bad: ";
inline constexpr const char* kCheckArcOff = "the arc's end lies off its circle by ";
inline constexpr const char* kCheckArcOffEnd = " (more than one step, ";
inline constexpr const char* kCheckDrillNoZ = "drilling line without Z (depth): ";
inline constexpr const char* kCheckDrillNoR = "drilling line without R (retract height): ";
inline constexpr const char* kCheckDrillNever = "none was ever given, 0 is used";
inline constexpr const char* kCheckDrillEarlier = "the value of an earlier line is used, ";
inline constexpr const char* kCheckZeroFeed =
    "move refused: its step rate is 0 (no feed rate set yet, or F0)";
inline constexpr const char* kCheckRefused = "move refused: ";
inline constexpr const char* kCheckNothing = "nothing to report";
inline constexpr const char* kCheckFindings = " findings";

}  // namespace brimo::msg

// ---- Program check (window menu) ---------------------------------------------
namespace brimo::msg {

inline constexpr const char* kCheckTitle = "Check program";
inline constexpr const char* kCheckClean =
    "Every line will do what it seems to: nothing to report.";

}  // namespace brimo::msg

// ---- Settings "Ok" and scale factors ------------------------------------------
namespace brimo::msg {

inline constexpr const char* kSettingsTitle = "Settings";
inline constexpr const char* kSettingsWhileRunning =
    "The settings cannot be applied while the machine moves. Press \"Pause\" "
    "and let the move stop first.";
inline constexpr const char* kUnitsMidProgram =
    "The unit cannot be changed while a program is stopped or halted in the "
    "middle: finish it or press \"Reset Program\" first. The settings were not "
    "saved.";
inline constexpr const char* kScaleTitle = "Scale Factors";
inline constexpr const char* kScaleNotANumber = " is not a number: ";

}  // namespace brimo::msg

// ---- Motion: homing height, drilling heights ----------------------------------
namespace brimo::msg {

// Shown in the window's message line by "Home the Machine".
inline constexpr const char* kHomeUsingSwitches =
    "\"Using Home Switchs\" is selected: \"Home the Machine\" moves nothing. Jog each "
    "axis onto its home switch to set machine zero, or choose \"Using Program Zero\" "
    "or \"Using Machine Zero\".";
// + the distance text as typed.
inline constexpr const char* kHomeZDistanceBad =
    "The home move was not started: \"Z distance (Homing)\" in Settings is not a "
    "number: ";
// A drilling line's reason: "R-10 Z-5" + this.
inline constexpr const char* kDrillRNotAbove =
    ": the retract height R must lie above the depth Z, or the cycle would retract "
    "below its hole bottom or plunge upwards";

}  // namespace brimo::msg

// ---- Pulse pacing: feeds too slow to pace ------------------------------------
namespace brimo::msg {

inline constexpr const char* kSlowFeedTitle = "Feed too slow";
// kSlowFeed + feed + kSlowFeedEnd: a move, jog or home move refused at set-up.
inline constexpr const char* kSlowFeed = "The move was not started: at the feed ";
inline constexpr const char* kSlowFeedEnd =
    " (length units per minute, within the Fast rates of the moving axes) one "
    "step would take more than 60 seconds. Set a higher feed rate, Fast rate, "
    "scale factor or override and try again.";
// kSlowOverride + feed + kSlowOverrideEnd: an override change during a move.
inline constexpr const char* kSlowOverride = "The override was not changed: at the feed ";
inline constexpr const char* kSlowOverrideEnd =
    " (length units per minute) it would give, one step of the move under way "
    "would take more than 60 seconds. The move goes on at the previous override.";

}  // namespace brimo::msg

// ---- Settings: damaged brimo.cfg, Settings "Cancel", coordinate fields, saving ----
namespace brimo::msg {

// One replaced line of a damaged brimo.cfg: "Line 26: <why>. Used instead: 3.00."
inline constexpr const char* kConfigUsedInstead = " Used instead: ";
// Lines a short file does not hold: "Lines 31 to 48 are missing." then this.
inline constexpr const char* kConfigLines = "Lines ";
inline constexpr const char* kConfigLinesTo = " to ";
inline constexpr const char* kConfigMissing = " is missing.";
inline constexpr const char* kConfigMissingMany = " are missing.";
inline constexpr const char* kConfigDefaults = "their defaults.";
inline constexpr const char* kConfigDefault = "its default, ";
// Start-up after a damaged file: where the damaged file went, and why the
// program works offline.
inline constexpr const char* kConfigKeptAs = "The damaged file was kept as ";
inline constexpr const char* kConfigKeptAsEnd =
    "; a new brimo.cfg was written from the values that could be used and the "
    "defaults named above.";
inline constexpr const char* kConfigEmptyNotKept =
    "The damaged file was empty, so no copy of it was kept; a new brimo.cfg was "
    "written from the defaults.";
inline constexpr const char* kConfigBadSlotsFull =
    "brimo.cfg.bad and brimo.cfg.bad.2 to brimo.cfg.bad.5 already exist (move "
    "them away to keep later damaged files)";
inline constexpr const char* kConfigOfflineUntilOk =
    "\n\nA default lead, steps per turn, pin or direction can move an axis at "
    "another scale or the other way, so BrimoCNC works offline until the "
    "settings have been checked and confirmed with \"Ok\" in Setup > Settings.";
// The "Offline" box refused before that "Ok".
inline constexpr const char* kOfflineUntilSettingsTitle = "Offline";
inline constexpr const char* kOfflineUntilSettings =
    "BrimoCNC stays offline: brimo.cfg was damaged and some settings were "
    "replaced by defaults. Check them in Setup > Settings and press \"Ok\" "
    "first.";
// A read-only brimo.cfg is left as it is.
inline constexpr const char* kConfigReadOnly =
    "brimo.cfg is read-only, so it was left as it is and the settings were not "
    "written to it";

// The coordinate dialog: a field that is not a number ("X" and the like,
// then this and the text in quotes).
inline constexpr const char* kCoordTitle = "Set Coordinates";
inline constexpr const char* kCoordNotANumber = " is not a number: ";
inline constexpr const char* kCoordNothingSet = ". No coordinate was set.";
inline constexpr const char* kCoordFixIt = ". Type a number (a period as the decimal point).";

}  // namespace brimo::msg

// ---- Program loading and program check: text files, findings, load summary --
namespace brimo::msg {

// Why a file is not loaded as a program (after the path).
inline constexpr const char* kProgramNotText = "The file is not a G-code program: ";
inline constexpr const char* kProgramNotRegular =
    " (it is not a regular file: a pipe, a device or a socket is never loaded as a program).";
inline constexpr const char* kProgramUtf16 =
    " (it is saved as UTF-16 text; BrimoCNC reads plain 8-bit text: save the program as "
    "ANSI or UTF-8 text).";
inline constexpr const char* kProgramNulByte =
    " (it holds NUL bytes, so it is not plain text: a binary file, or text saved as "
    "UTF-16 or UTF-32).";

// Findings of the program check (Options > Check program, --check).
inline constexpr const char* kCheckSkippedWords =
    "the whole line is skipped (it starts with a comment, a number or another character "
    "below '@'), so its words are not read: ";
inline constexpr const char* kCheckNotANumber = " is not a number and reads as 0";
inline constexpr const char* kCheckLowerCase =
    "lower-case words are not read (word letters are upper-case only): ";
inline constexpr const char* kCheckEndBeforeLast =
    "the program does not end here: M2 and M30 stop nothing, the lines after it run too";
inline constexpr const char* kCheckNestedComment =
    "a '(' inside a comment: the comment runs to the ')' that closes its first '('";

// Options > Check program in the window; the load's one-line summary.
inline constexpr const char* kCheckReportLines = "Lines to look at: ";
inline constexpr const char* kCheckLine = "Line ";
inline constexpr const char* kLoadCheckClean = "Program check: nothing to report.";
inline constexpr const char* kLoadCheckOneLine =
    "Program check: 1 line to look at (Options > Check program lists it).";
inline constexpr const char* kLoadCheckLines = "Program check: ";
inline constexpr const char* kLoadCheckLinesEnd =
    " lines to look at (Options > Check program lists them).";

// ---- Pulse timing ----
// A rate whose pulses would come closer than two pulse widths (high, then as
// long low), refused like a rate of 0: kFastRate + feed + kFastRateEvery +
// interval (us) + kFastRateWidth + pulse width (us) + kFastRateEnd.
inline constexpr const char* kFastRateTitle = "Step rate too high";
inline constexpr const char* kFastRate = "The move was not started: at the feed ";
inline constexpr const char* kFastRateEvery =
    " (length units per minute, within the Fast rates of the moving axes) a step would "
    "come every ";
inline constexpr const char* kFastRateWidth =
    " us, less than twice the \"Pulse Width\" setting of ";
inline constexpr const char* kFastRateEnd =
    " us. Set a lower feed rate, Fast rate, scale factor or override, or a shorter pulse "
    "width if the drives accept it, and try again.";
// After a run, jog, home move or move to a line: kPulseLateness + worst
// lateness (us) + kPulseLatenessLate + count + kPulseLatenessEnd.
inline constexpr const char* kPulseLateness = "Pulses: worst lateness ";
inline constexpr const char* kPulseLatenessLate = " us, ";
inline constexpr const char* kPulseLatenessEnd = " later than a quarter interval";

}  // namespace brimo::msg

// ---- Motion thread ----
namespace brimo::msg {
inline constexpr const char* kCheckWhileMoving =
    "The program can be checked when the machine stands still.";
}  // namespace brimo::msg

// ---- Offline at real speed: the "Fast" box next to "Offline" ----
namespace brimo::msg {

inline constexpr const char* kFastCaption = "Fast";
inline constexpr const char* kFastTip =
    "Offline only: runs, jogs and home moves without waiting between pulses, for a quick "
    "check. Unticked, an offline run takes the time the machine would take.";

// ---- Command line ----
inline constexpr const char* kCmdTwoPrograms = "more than one program file: ";
inline constexpr const char* kCmdTryHelp = "Try 'brimocnc --help'.";
inline constexpr const char* kCmdHelp =
    "usage: brimocnc [--offline] [--no-safety-dialog] [FILE]\n"
    "       brimocnc --simulate FILE [--config FILE] [--override PERCENT]\n"
    "                [--scale F,X,Y,Z] [--json] [--check] [--vcd FILE]\n"
    "       brimocnc --help | --version\n"
    "\n"
    "Controller for a three-axis CNC mill on the parallel port.\n"
    "\n"
    "  FILE                G-code program to open after start-up\n"
    "  --offline           start offline: nothing is written to the port\n"
    "  --no-safety-dialog  do not show the safety agreement at start-up\n"
    "  --simulate          run FILE headless on a virtual port and clock\n"
    "                      (no display needed); options in any order:\n"
    "  --config FILE       settings from FILE instead of your brimo.cfg\n"
    "  --override PERCENT  feed override, 2 to 500\n"
    "  --scale F,X,Y,Z     scale factors of feed, X, Y and Z\n"
    "  --json              rows and summary as JSON Lines\n"
    "  --check             list the lines that will not do what they seem to\n"
    "  --vcd FILE          write the pulse train as a Value Change Dump\n"
    "\n"
    "Exit status: 0 done (a simulation with nothing to report), 1 findings of\n"
    "--check or a refused line, 2 unusable arguments, program or configuration.\n"
    "\n"
    "Settings: brimo.cfg in ~/.config/brimocnc ($XDG_CONFIG_HOME/brimocnc), on\n"
    "Windows in %APPDATA%\\BrimoCNC; each user has their own.\n";

// ---- Where the settings live ----
// Shown once in the message line when an old brimo.cfg beside the program
// was copied into the user's configuration folder: "<old> ... <new>".
inline constexpr const char* kConfigTakenOver = "Settings taken over from ";
inline constexpr const char* kConfigTakenOverTo = " into ";

// ---- Port setting ----
// Field names of the settings dialog's "Port" group (brimo.cfg lines 49, 50).
inline constexpr const char* kFieldPortDevice = "Port device";
inline constexpr const char* kFieldPortBase = "Port address";
// What "Ok" and the load of brimo.cfg say about them.
inline constexpr const char* kPortDeviceEmpty =
    " must name the parallel port's device, such as /dev/parport0; it is empty.";
inline constexpr const char* kPortBaseNotAddress =
    " must be the port's I/O address in hexadecimal, from 0x1 to 0xFFFD, such as 0x378; it "
    "reads ";

}  // namespace brimo::msg

// ---- Command-line build ----
namespace brimo::msg {
inline constexpr const char* kCliNoWindow =
    "this build has no window (it was built without Qt); run a program headless with "
    "'brimocnc --simulate FILE' (see 'brimocnc --help').";
}  // namespace brimo::msg
