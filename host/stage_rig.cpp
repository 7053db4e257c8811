#include "host/stage_rig.h"

namespace tbhost {

const char* MarkName(Mark mark) {
  switch (mark) {
    case Mark::K1:
      return "K1";
    case Mark::K2:
      return "K2";
    case Mark::K3:
      return "K3";
    case Mark::K4:
      return "K4";
    case Mark::KM:
      return "KM";
  }
  return "?";
}

StageRig DefaultRig() {
  StageRig rig;
  rig.width = 8.0;
  rig.depth = 6.0;
  rig.marks[static_cast<int>(Mark::K1)] = {1.0, 1.0};  // front left
  rig.marks[static_cast<int>(Mark::K2)] = {1.0, 5.0};  // back left
  rig.marks[static_cast<int>(Mark::K3)] = {7.0, 1.0};  // front right
  rig.marks[static_cast<int>(Mark::K4)] = {7.0, 5.0};  // back right
  rig.marks[static_cast<int>(Mark::KM)] = {4.0, 3.0};  // centre
  // All heads hang in front of the stage and face its back, at a long enough
  // throw that pan sweeps left/right and tilt near/far almost like a grid:
  // the linear follow mapping interpolates each axis on its own, and heads
  // seeing the stage from opposite sides would disagree far more than 8-bit
  // steps.
  rig.heads = {
      {"Truss L", 3.7, -4.0, 8.0, 90.0, 1, 2},
      {"Truss R", 4.4, -4.5, 7.0, 90.0, 3, 4},
      {"FOH L", 3.9, -7.0, 6.0, 90.0, 5, 6},
      {"FOH R", 4.2, -8.0, 8.5, 90.0, 7, 8},
  };
  return rig;
}

}  // namespace tbhost
