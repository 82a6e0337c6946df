#include "io/format.hpp"

#include <cctype>
#include <stdexcept>

#include "io/edit.hpp"

namespace io {

Items& Items::push(const Item& item) {
  if (count_ == kCapacity) throw std::logic_error("too many items for one formatted write");
  items_[count_++] = item;
  return *this;
}
Items& Items::i(long long v) { return push({Item::Kind::integer, v, 0.0, {}}); }
Items& Items::r(double v) { return push({Item::Kind::real, 0, v, {}}); }
Items& Items::a(std::string_view v) { return push({Item::Kind::text, 0, 0.0, v}); }
Items& Items::reals(std::span<const double> v) {
  for (double x : v) r(x);
  return *this;
}
Items& Items::chunks(std::string_view v, std::size_t width) {
  for (std::size_t p = 0; p < v.size(); p += width) a(v.substr(p, width));
  return *this;
}

namespace {

using Node = Format::Node;

// Counts and widths in a literal are small; a huge one would ask for
// gigabytes of output.
constexpr int kLargestNumber = 9999;

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  std::vector<Node> parse_all() {
    skip_blanks();
    expect('(');
    auto nodes = parse_list();
    expect(')');
    skip_blanks();
    if (p_ != s_.size()) error("text after the closing parenthesis");
    return nodes;
  }

 private:
  [[noreturn]] void error(const char* what) const {
    throw std::logic_error(std::string("bad format literal \"") + std::string(s_) + "\": " + what);
  }
  void skip_blanks() {
    while (p_ < s_.size() && s_[p_] == ' ') ++p_;
  }
  void expect(char ch) {
    skip_blanks();
    if (p_ >= s_.size() || s_[p_] != ch) error("unexpected character");
    ++p_;
  }
  bool digit_next() const { return p_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[p_])); }
  int number() {
    if (!digit_next()) error("number expected");
    int v = 0;
    while (digit_next()) {
      v = v * 10 + (s_[p_++] - '0');
      if (v > kLargestNumber) error("number too large");
    }
    return v;
  }

  std::vector<Node> parse_list() {
    std::vector<Node> nodes;
    skip_blanks();
    if (p_ < s_.size() && s_[p_] == ')') return nodes;  // "()"
    for (;;) {
      skip_blanks();
      if (p_ < s_.size() && s_[p_] == '/') {
        ++p_;
        Node slash{};
        slash.kind = Node::Kind::slash;
        nodes.push_back(slash);
      } else {
        nodes.push_back(parse_item());
      }
      skip_blanks();
      if (p_ >= s_.size()) error("missing closing parenthesis");
      if (s_[p_] == ',') {
        ++p_;
      } else if (s_[p_] == ')') {
        return nodes;
      } else if (s_[p_] != '/') {
        error("comma expected");
      }
    }
  }

  Node parse_item() {
    skip_blanks();
    const bool has_count = digit_next();
    const int count = has_count ? number() : 1;
    // A repeat count of 0 on a group that output reverts to would loop for ever.
    if (has_count && count == 0) error("repeat count 0");
    if (p_ >= s_.size()) error("descriptor expected");
    const char ch = static_cast<char>(std::toupper(static_cast<unsigned char>(s_[p_++])));
    Node node{};
    node.repeat = count;
    switch (ch) {
      case 'H':
        if (!has_count || p_ + static_cast<std::size_t>(count) > s_.size()) error("bad H descriptor");
        node.kind = Node::Kind::hollerith;
        node.repeat = 1;
        node.literal = std::string(s_.substr(p_, static_cast<std::size_t>(count)));
        p_ += static_cast<std::size_t>(count);
        return node;
      case 'X':
        node.kind = Node::Kind::blanks;
        node.repeat = 1;
        node.w = count;
        return node;
      case 'I':
        node.kind = Node::Kind::integer;
        node.w = number();
        return node;
      case 'A':
        node.kind = Node::Kind::text;
        if (digit_next()) node.w = number();
        return node;
      case 'G':
        node.kind = Node::Kind::real;
        node.w = number();
        expect('.');
        node.d = number();
        return node;
      case '(':
        node.kind = Node::Kind::group;
        node.children = parse_list();
        expect(')');
        return node;
      default:
        error("unknown descriptor");
    }
  }

  std::string_view s_;
  std::size_t p_ = 0;
};

// One execution of a format over a list of items.
class Writer {
 public:
  Writer(std::string& out, std::span<const Item> items) : out_(out), items_(items) {}

  // Walks nodes; returns false once output has to stop (no item left for a
  // data descriptor).
  bool walk(const std::vector<Node>& nodes, std::size_t first) {
    for (std::size_t k = first; k < nodes.size(); ++k) {
      const Node& node = nodes[k];
      for (int r = 0; r < node.repeat; ++r) {
        if (!edit(node)) return false;
      }
    }
    return true;
  }

  bool items_left() const { return next_ < items_.size(); }
  void end_line() {
    out_ += '\n';
    pending_blanks_ = 0;
  }

 private:
  void flush_blanks() {
    out_.append(static_cast<std::size_t>(pending_blanks_), ' ');
    pending_blanks_ = 0;
  }

  bool edit(const Node& node) {
    switch (node.kind) {
      case Node::Kind::hollerith:
        flush_blanks();
        out_ += node.literal;
        return true;
      case Node::Kind::blanks:
        pending_blanks_ += node.w;
        return true;
      case Node::Kind::slash:
        end_line();
        return true;
      case Node::Kind::group:
        return walk(node.children, 0);
      default:
        break;
    }
    if (!items_left()) return false;
    const Item& item = items_[next_++];
    flush_blanks();
    switch (node.kind) {
      case Node::Kind::integer:
        if (item.kind != Item::Kind::integer) throw std::logic_error("I descriptor given a non-integer item");
        edit_i(out_, item.integer, node.w);
        break;
      case Node::Kind::text:
        if (item.kind != Item::Kind::text) throw std::logic_error("A descriptor given a non-text item");
        edit_a(out_, item.text, node.w);
        break;
      default:
        if (item.kind != Item::Kind::real) throw std::logic_error("G descriptor given a non-real item");
        edit_g(out_, item.real, node.w, node.d);
        break;
    }
    return true;
  }

  std::string& out_;
  std::span<const Item> items_;
  std::size_t next_ = 0;
  int pending_blanks_ = 0;
};

bool has_data_descriptor(const std::vector<Node>& nodes) {
  for (const Node& n : nodes) {
    if (n.kind == Node::Kind::integer || n.kind == Node::Kind::text || n.kind == Node::Kind::real) return true;
    if (n.kind == Node::Kind::group && has_data_descriptor(n.children)) return true;
  }
  return false;
}

}  // namespace

Format::Format(std::string_view literal) : nodes_(Parser(literal).parse_all()) {
  for (std::size_t k = nodes_.size(); k-- > 0;) {
    if (nodes_[k].kind == Node::Kind::group) {
      reversion_ = k;
      break;
    }
  }
  const std::vector<Node> tail(nodes_.begin() + static_cast<std::ptrdiff_t>(reversion_), nodes_.end());
  reversion_has_data_ = has_data_descriptor(tail);
}

void Format::write(std::string& out, std::span<const Item> items) const {
  Writer writer(out, items);
  bool more = writer.walk(nodes_, 0);
  if (more && writer.items_left()) {
    if (!reversion_has_data_) throw std::logic_error("format reverts to a part without data descriptors");
    while (more && writer.items_left()) {
      writer.end_line();
      more = writer.walk(nodes_, reversion_);
    }
  }
  writer.end_line();
}

}  // namespace io
