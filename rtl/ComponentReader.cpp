#include "rtl/ComponentReader.h"

#include "rtl/Exceptions.h"

#include <cctype>
#include <exception>
#include <map>
#include <memory>
#include <typeinfo>

namespace rtl {

namespace {

struct TextLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return CompareText(a, b) < 0;
  }
};

std::map<std::string, TComponentFactory, TextLess>& Registry() {
  static std::map<std::string, TComponentFactory, TextLess> registry;
  return registry;
}

enum class TokenKind { Identifier, Integer, String, Symbol, End };

struct Token {
  TokenKind Kind = TokenKind::End;
  std::string Text;
  int Line = 0;
};

[[noreturn]] void Fail(int line, const std::string& what) {
  throw Exception("Line " + std::to_string(line) + ": " + what);
}

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  int line = 1;
  std::size_t i = 0;
  auto isIdentStart = [](char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
  };
  auto isIdent = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
  };
  while (i < text.size()) {
    char c = text[i];
    if (c == '\n') {
      ++line;
      ++i;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    Token t;
    t.Line = line;
    if (isIdentStart(c)) {
      std::size_t start = i;
      while (i < text.size() && isIdent(text[i])) ++i;
      t.Kind = TokenKind::Identifier;
      t.Text = std::string(text.substr(start, i - start));
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '-' && i + 1 < text.size() &&
                std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
      std::size_t start = i++;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      t.Kind = TokenKind::Integer;
      t.Text = std::string(text.substr(start, i - start));
    } else if (c == '\'') {
      // A quote inside the text is written twice; a text ends on its own line.
      ++i;
      t.Kind = TokenKind::String;
      for (;;) {
        if (i >= text.size() || text[i] == '\n') Fail(line, "unterminated text");
        if (text[i] == '\'') {
          if (i + 1 < text.size() && text[i + 1] == '\'') {
            t.Text += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        t.Text += text[i++];
      }
    } else if (c == ':' || c == '=' || c == '(' || c == ')') {
      t.Kind = TokenKind::Symbol;
      t.Text = std::string(1, c);
      ++i;
    } else {
      Fail(line, std::string("unexpected character '") + c + "'");
    }
    tokens.push_back(std::move(t));
  }
  Token end;
  end.Line = line;
  tokens.push_back(end);
  return tokens;
}

struct PropertyText {
  std::string Name;
  TPropertyValue Value;
  int Line;
};

struct ObjectText {
  std::string Name, ClassName;
  int Line;
  std::vector<PropertyText> Properties;
};

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  std::vector<ObjectText> Objects() {
    std::vector<ObjectText> objects;
    while (Peek().Kind != TokenKind::End) objects.push_back(Object());
    return objects;
  }

 private:
  const Token& Peek() const { return tokens_[pos_]; }
  Token Next() {
    Token t = tokens_[pos_];
    if (t.Kind != TokenKind::End) ++pos_;
    return t;
  }
  bool IsWord(const Token& t, std::string_view word) const {
    return t.Kind == TokenKind::Identifier && SameText(t.Text, word);
  }
  Token Expect(TokenKind kind, const char* what) {
    Token t = Next();
    if (t.Kind != kind) Fail(t.Line, std::string("expected ") + what);
    return t;
  }
  void ExpectSymbol(char symbol) {
    Token t = Next();
    if (t.Kind != TokenKind::Symbol || t.Text[0] != symbol)
      Fail(t.Line, std::string("expected '") + symbol + "'");
  }

  ObjectText Object() {
    ObjectText o;
    Token head = Next();
    if (!IsWord(head, "object")) Fail(head.Line, "expected 'object'");
    o.Line = head.Line;
    o.Name = Expect(TokenKind::Identifier, "a component name").Text;
    ExpectSymbol(':');
    o.ClassName = Expect(TokenKind::Identifier, "a class name").Text;
    for (;;) {
      const Token& t = Peek();
      if (t.Kind == TokenKind::End) Fail(t.Line, "expected 'end'");
      if (IsWord(t, "end")) {
        Next();
        return o;
      }
      PropertyText p;
      p.Line = t.Line;
      p.Name = Expect(TokenKind::Identifier, "a property name").Text;
      ExpectSymbol('=');
      p.Value = Value();
      o.Properties.push_back(std::move(p));
    }
  }

  TPropertyValue Value() {
    Token t = Next();
    switch (t.Kind) {
      case TokenKind::String: return t.Text;
      case TokenKind::Integer: try { return static_cast<std::int64_t>(std::stoll(t.Text));
        } catch (const std::exception&) {
          Fail(t.Line, "number out of range");
        }
      case TokenKind::Identifier:
        if (SameText(t.Text, "True")) return true;
        if (SameText(t.Text, "False")) return false;
        break;
      case TokenKind::Symbol:
        if (t.Text == "(") {
          std::vector<std::string> lines;
          for (;;) {
            Token item = Next();
            if (item.Kind == TokenKind::Symbol && item.Text == ")") return lines;
            if (item.Kind != TokenKind::String) Fail(item.Line, "expected a text or ')'");
            lines.push_back(item.Text);
          }
        }
        break;
      case TokenKind::End: break;
    }
    Fail(t.Line, "expected a value");
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
};

}  // namespace

void RegisterComponentClass(const std::string& ClassName, TComponentFactory Factory) {
  Registry()[ClassName] = std::move(Factory);
}

void UnregisterComponentClass(const std::string& ClassName) { Registry().erase(ClassName); }

namespace {

using TCreated = std::vector<std::unique_ptr<TComponent>>;

// A component of this read or of the owner, by name.
TComponent* FindNamed(const TCreated& created, TComponent* AOwner, const std::string& name) {
  for (auto& c : created)
    if (SameText(c->Name(), name)) return c.get();
  return AOwner ? AOwner->FindComponent(name) : nullptr;
}

// Runs one property write; a plain exception gets the line. A descendant of Exception (a
// database error, say) carries more than its text: it goes on as it is.
template <class Write>
void WriteProperty(int line, Write write) {
  try {
    write();
  } catch (const Exception& e) {
    if (typeid(e) != typeid(Exception)) throw;
    Fail(line, e.Message());
  }
}

// A reference to another component, set once every component of the text exists.
struct PendingReference {
  TComponent* Component;
  const TPropertyInfo* Property;
  std::string Target;
  int Line;
};

void CreateAll(const std::vector<ObjectText>& objects, TComponent* AOwner, TCreated& created,
               std::vector<PendingReference>& references) {
  for (const ObjectText& o : objects) {
    if (FindNamed(created, AOwner, o.Name))
      Fail(o.Line, "a component named " + o.Name + " already exists");
    TComponent* c = Registry().at(o.ClassName)(AOwner);
    created.emplace_back(c);
    c->BeginReading();
    c->SetName(o.Name);
    for (const PropertyText& p : o.Properties) {
      const TPropertyInfo* info = c->FindProperty(p.Name);
      if (info && info->IsReference()) {
        WriteProperty(p.Line, [&] {
          references.push_back({c, info, StringValue(p.Value), p.Line});
        });
        continue;
      }
      WriteProperty(p.Line, [&] { c->SetPropertyValue(p.Name, p.Value); });
    }
  }
}

void ResolveReferences(const std::vector<PendingReference>& references, TComponent* AOwner,
                       const TCreated& created) {
  for (const PendingReference& r : references) {
    TComponent* target = nullptr;
    if (!r.Target.empty()) {
      target = FindNamed(created, AOwner, r.Target);
      if (!target) Fail(r.Line, "component " + r.Target + " not found");
    }
    WriteProperty(r.Line, [&] { r.Property->SetReference(*r.Component, target); });
  }
}

}  // namespace

std::vector<TComponent*> ReadComponents(std::string_view Text, TComponent* AOwner) {
  std::vector<ObjectText> objects = Parser(Tokenize(Text)).Objects();
  for (const ObjectText& o : objects)
    if (Registry().find(o.ClassName) == Registry().end())
      Fail(o.Line, "class " + o.ClassName + " not found");

  // Until the whole text is read, the components belong to the reader: a failure then removes
  // them all again.
  TCreated created;
  try {
    std::vector<PendingReference> references;
    CreateAll(objects, AOwner, created, references);
    ResolveReferences(references, AOwner, created);
  } catch (...) {
    while (!created.empty()) created.pop_back();
    throw;
  }
  // From here the owner (or, without one, the caller) has them.
  std::vector<TComponent*> result;
  for (auto& c : created) {
    c->EndReading();
    result.push_back(c.release());
  }
  // One Loaded that fails must not leave the others in the loading state: each is called, and
  // the first failure is raised afterwards.
  std::exception_ptr first;
  for (TComponent* c : result) {
    try {
      c->Loaded();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) {
    // Without an owner nobody else would free them.
    if (!AOwner)
      for (auto it = result.rbegin(); it != result.rend(); ++it) delete *it;
    std::rethrow_exception(first);
  }
  return result;
}

}  // namespace rtl
