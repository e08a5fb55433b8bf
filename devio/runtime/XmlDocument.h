#pragma once

#include <rapidxml.hpp>

#include <string>

namespace devio {

// One XML document of the library's cache files: built with the "1.0"/"utf-8" declaration and
// printed, or parsed tolerantly (text that is not well-formed has no root).
class XmlDocument {
 public:
  using Node = rapidxml::xml_node<>;

  // Writing: the declaration and the root element, which is answered.
  Node* start(const char* root);
  Node* add(Node* parent, const char* element);
  void set(Node* element, const char* attribute, const std::string& value);
  std::string print() const;

  // Reading: the root element of that name, null when the text does not parse or has none.
  Node* parse(std::string text, const char* root);
  // Empty when the element lacks it.
  static std::string attribute(const Node* element, const char* name);

 private:
  rapidxml::xml_document<> doc_;
  std::string text_;  // parsed in place: the document points into it
};

}  // namespace devio
