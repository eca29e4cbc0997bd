#include "forms/form.h"

#include <set>
#include <stdexcept>

namespace dt::form {

const ControlSpec* FormSpec::Find(const std::string& name) const {
  for (const ControlSpec& c : controls)
    if (name == c.name) return &c;
  return nullptr;
}

std::vector<std::string> CheckForm(const FormSpec& form) {
  std::vector<std::string> problems;
  std::set<std::string> names;
  std::set<int> ids;
  struct Placed {
    Rect rect;
    std::string parent;
  };
  std::map<std::string, Placed> placed;
  const Rect client{0, 0, form.clientWidth, form.clientHeight};
  auto inside = [](const Rect& r, const Rect& in) {
    return r.x >= 0 && r.y >= 0 && r.x + r.width <= in.width && r.y + r.height <= in.height;
  };
  for (const ControlSpec& c : form.controls) {
    const std::string name = c.name;
    if (name.empty()) problems.push_back(std::string(form.name) + ": a control without a name");
    if (!names.insert(name).second) problems.push_back(name + ": the name is used twice");
    if (c.id != 0 && !ids.insert(c.id).second)
      problems.push_back(name + ": id " + std::to_string(c.id) + " is used twice");
    if (c.kind == Kind::Timer) continue;
    const std::string parent = c.parent;
    Rect in = client;
    if (!parent.empty()) {
      const auto it = placed.find(parent);
      if (it == placed.end()) {
        problems.push_back(name + ": parent " + parent + " is unknown or comes later");
        continue;
      }
      in = {0, 0, it->second.rect.width, it->second.rect.height};
    }
    // A control placed after another lies at least that one's description
    // width right of its left edge.
    Rect r = c.rect;
    if (*c.rightOf) {
      const auto it = placed.find(c.rightOf);
      if (it == placed.end() || it->second.parent != parent) {
        problems.push_back(name + ": " + c.rightOf + " is unknown, comes later or lies elsewhere");
        continue;
      }
      r.x += it->second.rect.x + it->second.rect.width;
    }
    if (r.width < 0 || r.height < 0 || (!c.autoSize && !inside(r, in)) ||
        (c.autoSize && (r.x >= in.width || r.y >= in.height)))
      problems.push_back(name + ": lies outside " + (parent.empty() ? form.name : parent));
    placed[name] = {r, parent};
  }
  return problems;
}

FormState::FormState(const FormSpec& form) : form_(&form) {
  for (const ControlSpec& c : form.controls)
    controls_[c.name] = ControlState{c.visible, c.enabled, c.checked, c.caption, c.rect};
}

ControlState& FormState::operator[](const std::string& name) {
  const auto it = controls_.find(name);
  if (it == controls_.end()) throw std::out_of_range(std::string(form_->name) + " has no " + name);
  return it->second;
}

const ControlState& FormState::operator[](const std::string& name) const {
  const auto it = controls_.find(name);
  if (it == controls_.end()) throw std::out_of_range(std::string(form_->name) + " has no " + name);
  return it->second;
}

}  // namespace dt::form
