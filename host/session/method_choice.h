// The plug-in's three follow methods as the host names them on its command
// line and finds their options in the plug-in's main window.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace tbhost {

enum class FollowChoice { Linear, Distance, Trigonometric };

inline constexpr std::array<FollowChoice, 3> kAllMethods = {
    FollowChoice::Linear, FollowChoice::Distance, FollowChoice::Trigonometric};

constexpr std::string_view MethodName(FollowChoice method) {
  switch (method) {
    case FollowChoice::Linear:
      return "linear";
    case FollowChoice::Distance:
      return "distance";
    case FollowChoice::Trigonometric:
      return "trigonometric";
  }
  return "?";
}

// The objectName of the method's option button in the main window.
constexpr const char* MethodOption(FollowChoice method) {
  switch (method) {
    case FollowChoice::Linear:
      return "OptLin";
    case FollowChoice::Distance:
      return "OptDist";
    case FollowChoice::Trigonometric:
      return "OptTrigo";
  }
  return "";
}

constexpr std::optional<FollowChoice> MethodByName(std::string_view name) {
  for (FollowChoice method : kAllMethods)
    if (MethodName(method) == name) return method;
  return std::nullopt;
}

}  // namespace tbhost
