#include "devio/runtime/XmlDocument.h"

#include <rapidxml_print.hpp>

#include <iterator>
#include <utility>

namespace devio {

XmlDocument::Node* XmlDocument::start(const char* root) {
  auto* declaration = doc_.allocate_node(rapidxml::node_declaration);
  declaration->append_attribute(doc_.allocate_attribute("version", "1.0"));
  declaration->append_attribute(doc_.allocate_attribute("encoding", "utf-8"));
  doc_.append_node(declaration);
  return add(&doc_, root);
}

XmlDocument::Node* XmlDocument::add(Node* parent, const char* element) {
  auto* node = doc_.allocate_node(rapidxml::node_element, element);
  parent->append_node(node);
  return node;
}

void XmlDocument::set(Node* element, const char* attribute, const std::string& value) {
  element->append_attribute(doc_.allocate_attribute(attribute, doc_.allocate_string(value.c_str(), value.size() + 1)));
}

std::string XmlDocument::print() const {
  std::string text;
  rapidxml::print(std::back_inserter(text), doc_);
  return text;
}

XmlDocument::Node* XmlDocument::parse(std::string text, const char* root) {
  doc_.clear();
  text_ = std::move(text);
  try {
    doc_.parse<0>(text_.data());  // std::string keeps a terminator
  } catch (const rapidxml::parse_error&) {
    return nullptr;
  }
  return doc_.first_node(root);
}

std::string XmlDocument::attribute(const Node* element, const char* name) {
  const auto* a = element->first_attribute(name);
  return a ? std::string(a->value(), a->value_size()) : std::string();
}

}  // namespace devio
