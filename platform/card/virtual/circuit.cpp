// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/circuit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform {

namespace {

using Kind = CircuitPart::Kind;

constexpr double kG = CircuitNetwork::kGamma;
// BDF2 stage: y1 = kA * y_inner - kB * y0 + kC * h * f(y1).
constexpr double kA = 1.0 / (kG * (2.0 - kG));
constexpr double kB = (1.0 - kG) * (1.0 - kG) / (kG * (2.0 - kG));
constexpr double kC = (1.0 - kG) / (2.0 - kG);

constexpr double kIs = CircuitNetwork::kSaturationCurrent;
constexpr double kVt = CircuitNetwork::kThermalVoltage;
// A small conductance across every diode, as circuit simulators keep, so
// that a node between two diodes off is never left floating.
constexpr double kGmin = 1e-12;
// Beyond this the diode's curve goes on as its tangent: never reached by a
// sensible circuit on a 1.1 V source, but no overflow in any.
constexpr double kMaxExponent = 80.0;
constexpr int kMaxNewton = 100;
constexpr double kNewtonSettled = 1e-6;  // V

double DiodeCurrent(double v, double& conductance) {
  const double x = v / kVt;
  const double e = std::exp(std::min(x, kMaxExponent));
  conductance = kIs / kVt * e + kGmin;
  const double over = std::max(0.0, x - kMaxExponent);
  return kIs * (e * (1.0 + over) - 1.0) + kGmin * v;
}

// The diode's next Newton voltage, limited so that the exponential grows
// by a sensible factor per iteration.
double LimitDiodeStep(double v_new, double v_old) {
  static const double critical = kVt * std::log(kVt / (std::numbers::sqrt2 * kIs));
  if (v_new > critical && std::abs(v_new - v_old) > 2 * kVt) {
    if (v_old > 0) {
      const double arg = 1 + (v_new - v_old) / kVt;
      return arg > 0 ? v_old + kVt * std::log(arg) : critical;
    }
    return kVt * std::log(v_new / kVt);
  }
  return v_new;
}

}  // namespace

CircuitNetwork::CircuitNetwork(const CircuitPart& upper, const CircuitPart& lower) {
  Build(upper, 1, 2);
  Build(lower, 2, 0);
  unknowns_ = nodes_ - 2;
  for (std::size_t k = 0; k < elements_.size(); ++k) {
    const Kind kind = elements_[k].kind;
    nonlinear_ = nonlinear_ || kind == Kind::Diode;
    if (kind == Kind::Capacitor || kind == Kind::Inductor) reactive_.push_back(k);
  }
  x_.assign(static_cast<std::size_t>(unknowns_), 0.0);
  rhs_.assign(static_cast<std::size_t>(unknowns_), 0.0);
}

void CircuitNetwork::Build(const CircuitPart& part, int a, int b) {
  switch (part.kind) {
    case Kind::Series: {
      int from = a;
      for (std::size_t k = 0; k < part.parts.size(); ++k) {
        const int to = k + 1 == part.parts.size() ? b : nodes_++;
        Build(part.parts[k], from, to);
        from = to;
      }
      return;
    }
    case Kind::Parallel:
      for (const CircuitPart& p : part.parts) Build(p, a, b);
      return;
    default:
      elements_.push_back(Element{part.kind, part.value, a, b});
  }
}

void CircuitNetwork::Reset(double step) {
  step_ = step;
  for (Element& e : elements_) e.v = e.i = e.v_inner = e.i_inner = e.v_before = 0;
  std::fill(x_.begin(), x_.end(), 0.0);
  if (nonlinear_) return;
  for (int stage = 0; stage < 2; ++stage) {
    Companions(stage);
    Factor(linear_[stage]);
  }
  BuildLinearStep();
}

void CircuitNetwork::BuildLinearStep() {
  const std::size_t states = 2 * reactive_.size(), columns = states + 2;
  step_matrix_.assign((states + 1) * columns, 0.0);
  for (std::size_t c = 0; c < columns; ++c) {
    for (Element& e : elements_) e.v = e.i = 0;
    if (c < states) {
      Element& e = elements_[reactive_[c / 2]];
      (c % 2 ? e.i : e.v) = 1;
    }
    const double junction = GeneralStep(c == states ? 1 : 0, c == states + 1 ? 1 : 0);
    for (std::size_t r = 0; r < states; ++r) {
      const Element& e = elements_[reactive_[r / 2]];
      step_matrix_[r * columns + c] = r % 2 ? e.i : e.v;
    }
    step_matrix_[states * columns + c] = junction;
  }
  for (Element& e : elements_) e.v = e.i = e.v_inner = e.i_inner = 0;
  state_.assign(states + 2, 0.0);
  next_state_.assign(states, 0.0);
}

void CircuitNetwork::Companions(int stage) {
  const double h = step_;
  for (Element& e : elements_) {
    switch (e.kind) {
      case Kind::Resistor:
        e.g = 1.0 / e.value;
        e.j = 0;
        break;
      case Kind::Capacitor:
        if (stage == 0) {
          e.g = 2.0 * e.value / (kG * h);
          e.j = -e.g * e.v - e.i;
        } else {
          e.g = e.value / (kC * h);
          e.j = -e.g * (kA * e.v_inner - kB * e.v);
        }
        break;
      case Kind::Inductor:
        if (stage == 0) {
          e.g = kG * h / (2.0 * e.value);
          e.j = e.i + e.g * e.v;
        } else {
          e.g = kC * h / e.value;
          e.j = kA * e.i_inner - kB * e.i;
        }
        break;
      default:
        break;
    }
  }
}

void CircuitNetwork::Factor(Factors& f) const {
  const int n = unknowns_;
  f.lu.assign(static_cast<std::size_t>(n * n), 0.0);
  f.pivot.resize(static_cast<std::size_t>(n));
  auto at = [&](int r, int c) -> double& { return f.lu[static_cast<std::size_t>(r * n + c)]; };
  for (const Element& e : elements_) {
    const int p = e.a - 2, q = e.b - 2;
    if (p >= 0) at(p, p) += e.g;
    if (q >= 0) at(q, q) += e.g;
    if (p >= 0 && q >= 0) {
      at(p, q) -= e.g;
      at(q, p) -= e.g;
    }
  }
  for (int k = 0; k < n; ++k) {
    int best = k;
    for (int r = k + 1; r < n; ++r)
      if (std::abs(at(r, k)) > std::abs(at(best, k))) best = r;
    f.pivot[static_cast<std::size_t>(k)] = best;
    if (best != k)
      for (int c = 0; c < n; ++c) std::swap(at(k, c), at(best, c));
    // Every node reaches ground through positive conductances, so the pivot
    // is never zero; guard anyway against a denormal one.
    if (at(k, k) == 0) at(k, k) = 1e-300;
    for (int r = k + 1; r < n; ++r) {
      const double m = at(r, k) / at(k, k);
      at(r, k) = m;
      for (int c = k + 1; c < n; ++c) at(r, c) -= m * at(k, c);
    }
  }
}

double CircuitNetwork::Voltage(int node, double source) const {
  if (node == 0) return 0;
  if (node == 1) return source;
  return x_[static_cast<std::size_t>(node - 2)];
}

void CircuitNetwork::Solve(const Factors& f, double source) {
  const int n = unknowns_;
  std::fill(rhs_.begin(), rhs_.end(), 0.0);
  // KCL at each unknown node: sum of g * (v_here - v_there) + j leaving = 0.
  for (const Element& e : elements_) {
    const int p = e.a - 2, q = e.b - 2;
    if (p >= 0) {
      rhs_[static_cast<std::size_t>(p)] -= e.j;
      if (q < 0) rhs_[static_cast<std::size_t>(p)] += e.g * Voltage(e.b, source);
    }
    if (q >= 0) {
      rhs_[static_cast<std::size_t>(q)] += e.j;
      if (p < 0) rhs_[static_cast<std::size_t>(q)] += e.g * Voltage(e.a, source);
    }
  }
  auto at = [&](int r, int c) { return f.lu[static_cast<std::size_t>(r * n + c)]; };
  std::vector<double>& y = rhs_;
  for (int k = 0; k < n; ++k) {
    std::swap(y[static_cast<std::size_t>(k)], y[static_cast<std::size_t>(f.pivot[k])]);
    for (int r = k + 1; r < n; ++r)
      y[static_cast<std::size_t>(r)] -= at(r, k) * y[static_cast<std::size_t>(k)];
  }
  for (int k = n - 1; k >= 0; --k) {
    double s = y[static_cast<std::size_t>(k)];
    for (int c = k + 1; c < n; ++c) s -= at(k, c) * x_[static_cast<std::size_t>(c)];
    x_[static_cast<std::size_t>(k)] = s / at(k, k);
  }
}

void CircuitNetwork::SolveStage(int stage, double source) {
  if (!nonlinear_) {
    Companions(stage);
    Solve(linear_[stage], source);
  } else {
    Companions(stage);
    // Newton from where the diodes' voltages are heading (v_inner: their
    // working voltage): two iterations rather than four.
    for (Element& e : elements_)
      if (e.kind == Kind::Diode)
        e.v_inner = stage == 0 ? e.v + kG * (e.v - e.v_before)
                               : e.v_inner + (1 - kG) / kG * (e.v_inner - e.v);
    for (int iteration = 0;; ++iteration) {
      for (Element& e : elements_)
        if (e.kind == Kind::Diode) {
          double g = 0;
          const double i = DiodeCurrent(e.v_inner, g);
          e.g = g;
          e.j = i - g * e.v_inner;
        }
      Factor(scratch_);
      Solve(scratch_, source);
      bool settled = true;
      for (Element& e : elements_) {
        if (e.kind != Kind::Diode) continue;
        const double v = Voltage(e.a, source) - Voltage(e.b, source);
        // Newton's error squares: 1 uV off the point it was linearised at
        // leaves well under a nanovolt.
        if (std::abs(v - e.v_inner) > kNewtonSettled) settled = false;
        e.v_inner = LimitDiodeStep(v, e.v_inner);
      }
      if (settled || iteration + 1 >= kMaxNewton) break;
    }
  }
  // The stage's values become the elements' state.
  for (Element& e : elements_) {
    const double v = Voltage(e.a, source) - Voltage(e.b, source);
    // A diode's too: its tangent is off its curve by the square of the
    // last Newton step, far below anything a sample shows.
    const double i = e.g * v + e.j;
    if (stage == 0) {
      e.v_inner = v;
      e.i_inner = i;
    } else {
      e.v_before = e.v;
      e.v = v;
      e.i = i;
    }
  }
}

double CircuitNetwork::GeneralStep(double source_inner, double source_end) {
  SolveStage(0, source_inner);
  SolveStage(1, source_end);
  return x_[0];
}

double CircuitNetwork::Step(double source_inner, double source_end) {
  if (!nonlinear_) {
    const std::size_t states = next_state_.size(), columns = states + 2;
    state_[states] = source_inner;
    state_[states + 1] = source_end;
    const double* m = step_matrix_.data();
    for (std::size_t r = 0; r < states; ++r, m += columns) {
      double sum = 0;
      for (std::size_t c = 0; c < columns; ++c) sum += m[c] * state_[c];
      next_state_[r] = sum;
    }
    double junction = 0;
    for (std::size_t c = 0; c < columns; ++c) junction += m[c] * state_[c];
    std::copy(next_state_.begin(), next_state_.end(), state_.begin());
    return junction;
  }
  GeneralStep(source_inner, source_end);
  // Nothing a user can type should get here; if it does, start at rest
  // rather than carry a NaN on for ever.
  const double junction = x_[0];
  if (!std::isfinite(junction)) {
    Reset(step_);
    return 0;
  }
  return junction;
}

}  // namespace platform
