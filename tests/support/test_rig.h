// TestRig: a fresh machine for every test: state, fake window, virtual
// clock (10 MHz), simulated port, program store and plot state, with the
// default settings derived (0.0075 length units per step on every axis).
#pragma once

#include "core/machine/core.h"
#include "core/machine/machine_state.h"
#include "core/machine/settings_form.h"
#include "core/plot/plot_state.h"
#include "core/program/program_store.h"
#include "support/fake_window.h"

namespace brimo::test {

struct TestRig {
  MachineState ms;
  SettingsForm form;
  FakeWindow win;
  VirtualClock clock{10'000'000};
  SimulatedPort port{&clock};
  PortLink link{&port};
  ProgramStore store;
  PlotState plot;
  Core core{ms, win, clock, link, store, plot};

  TestRig() {
    DeriveSettings(ms, form, "0");
    LoadDefaults();
    InitCounter(ms, clock);
    ms.PlotEvery = 1e18;  // no live plot unless a test asks for it
  }
  // The settings a default configuration load gives (rates, leads, ...).
  void LoadDefaults();
  // All axes `unitsPerStep` per step with a rapid rate of `fast`.
  void UniformAxes(double unitsPerStep, double fast);
  // Loads program text into the store.
  void LoadProgram(const std::string& text);
};

}  // namespace brimo::test
