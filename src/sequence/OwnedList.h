// SPDX-License-Identifier: GPL-3.0-or-later
// A string list whose lines carry an owned object each: freeing the list (or
// clearing it) destroys the objects. Lines are kept in insertion order.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

template <class T>
class TOwnedStringList {
 public:
  int Count() const { return int(Items_.size()); }
  bool Empty() const { return Items_.empty(); }
  void Add(std::string text, std::unique_ptr<T> object) { Items_.push_back({std::move(text), std::move(object)}); }
  const std::string& Strings(int i) const { return Items_[size_t(i)].Text; }
  T* Objects(int i) const { return Items_[size_t(i)].Object.get(); }
  void Clear() { Items_.clear(); }
  void Delete(int i) { Items_.erase(Items_.begin() + i); }

 private:
  struct Item {
    std::string Text;
    std::unique_ptr<T> Object;
  };
  std::vector<Item> Items_;
};
