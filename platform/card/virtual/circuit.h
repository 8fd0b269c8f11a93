// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A network of resistors, capacitors, inductors and diodes driven by a
// voltage source: source -> upper part -> junction -> lower part -> ground.
// Stepped in time by TR-BDF2 (a trapezoidal stage to gamma of the step,
// then BDF2 to its end): second order, and L-stable, so that stiff parts
// (C1p with R1, L1 with R1M) settle at once instead of ringing at the step
// rate as the plain trapezoidal rule would. Every element becomes a
// conductance and a current source for each stage (its companion); the
// nodes' voltages follow from the nodal equations, solved by LU; diodes by
// Newton's method with the step of their voltage limited, so that the
// exponential cannot run away.
#include <vector>

#include "platform/card/virtual/circuit_parser.h"

namespace platform {

class CircuitNetwork {
 public:
  // Where in a step its first stage ends.
  static constexpr double kGamma = 0.58578643762690495;  // 2 - sqrt(2)
  // The diode: Shockley's equation.
  static constexpr double kSaturationCurrent = 1e-14;  // A
  static constexpr double kThermalVoltage = 0.02585;   // V, emission coefficient 1

  CircuitNetwork(const CircuitPart& upper, const CircuitPart& lower);

  // Everything at rest; steps of `step` seconds from now on.
  void Reset(double step);
  // One step: the source's voltage at gamma of the step and at its end.
  // Returns the junction's voltage at the end of the step.
  double Step(double source_inner, double source_end);

 private:
  struct Element {
    CircuitPart::Kind kind;
    double value;
    int a, b;                         // nodes: 0 ground, 1 source, 2 junction, then inner nodes
    double v = 0, i = 0;              // at the end of the last step
    double v_inner = 0, i_inner = 0;  // at its inner point
    double v_before = 0;              // at the end of the step before (a diode's)
    double g = 0, j = 0;              // companion of the stage: i = g * v + j
  };
  // A dense LU with partial pivoting of the nodal matrix.
  struct Factors {
    std::vector<double> lu;
    std::vector<int> pivot;
  };

  void Build(const CircuitPart& part, int a, int b);
  // The elements' companions for stage 0 (trapezoidal) or 1 (BDF2), but
  // for the diodes, which are linearised where they are.
  void Companions(int stage);
  void Factor(Factors& f) const;
  void Solve(const Factors& f, double source);
  double Voltage(int node, double source) const;
  void SolveStage(int stage, double source);
  double GeneralStep(double source_inner, double source_end);
  // A network without diodes steps linearly: its step is a matrix over the
  // reactive elements' voltages and currents and the two source values,
  // found once by stepping the network from each unit state.
  void BuildLinearStep();

  std::vector<Element> elements_;
  int nodes_ = 3;
  int unknowns_ = 1;
  bool nonlinear_ = false;
  double step_ = 0;
  Factors linear_[2];  // the stages' factors of a network without diodes
  Factors scratch_;
  std::vector<std::size_t> reactive_;       // the capacitors and inductors
  std::vector<double> step_matrix_;         // [states + 1][states + 2], last row the junction
  std::vector<double> state_, next_state_;  // v, i of each reactive element
  std::vector<double> x_;                   // unknown node voltages (node 2 on)
  std::vector<double> rhs_;                 // scratch
};

}  // namespace platform
