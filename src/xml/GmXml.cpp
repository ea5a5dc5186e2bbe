#include "xml/GmXml.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>

#include "base/FileUtil.h"
#include "base/Text.h"

namespace flashsmith::xml {
using namespace flashsmith::base;

namespace {

constexpr std::string_view kDeclaration = R"(<?xml version="1.0" encoding="Windows-1251" ?>)";
// Indentation is two blanks per level; past this depth it stops growing so
// that a pathologically deep tree cannot make the output quadratic in size.
constexpr size_t kMaxIndentLevel = 100;
// Attribute lists longer than this get a name index.
constexpr size_t kIndexThreshold = 16;
constexpr size_t kWriteChunk = 1 << 20;

bool EqualsNoCase(std::string_view text, std::string_view lowerWord) {
    if (text.size() < lowerWord.size()) return false;
    for (size_t i = 0; i < lowerWord.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerWord[i]) return false;
    }
    return true;
}

// Buffered output of the writer. In save mode every line break (CR, LF or
// CR LF) leaves as CR LF, which is what writing the text line by line gives.
class Output {
public:
    Output(bool save, const std::function<bool(std::string_view)>& sink) : save_(save), sink_(sink) {
        buf_.reserve(kWriteChunk + 4096);
    }

    void Raw(std::string_view s) { Put(s, false); }
    void Escaped(std::string_view s) { Put(s, true); }

    bool Finish() {
        if (save_ && any_ && last_ != '\n') Emit("\r\n");
        Flush();
        return ok_;
    }

private:
    // 1: escaped; 2: line break (acted on in save mode only).
    static constexpr std::array<unsigned char, 256> kClass = [] {
        std::array<unsigned char, 256> t{};
        t['&'] = t['<'] = t['>'] = t['"'] = 1;
        t['\r'] = t['\n'] = 2;
        return t;
    }();

    void Put(std::string_view s, bool escape) {
        size_t runStart = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            unsigned cls = kClass[static_cast<unsigned char>(s[i])];
            if (cls == 0 || (cls == 1 && !escape) || (cls == 2 && !save_)) continue;
            Emit(s.substr(runStart, i - runStart));
            runStart = i + 1;
            if (cls == 1) {
                switch (s[i]) {
                    case '&': Emit("&amp;"); break;
                    case '<': Emit("&lt;"); break;
                    case '>': Emit("&gt;"); break;
                    default: Emit("&quot;"); break;
                }
            } else if (s[i] == '\r') {
                Emit("\r\n");
                skipLf_ = true;  // the LF of a CR LF pair is already out
            } else {
                if (!skipLf_) Emit("\r\n");
                skipLf_ = false;
            }
        }
        Emit(s.substr(runStart));
    }

    void Emit(std::string_view s) {
        if (s.empty()) return;
        skipLf_ = false;
        buf_.append(s);
        any_ = true;
        last_ = s.back();
        if (buf_.size() >= kWriteChunk) Flush();
    }

    void Flush() {
        if (!buf_.empty() && ok_) ok_ = sink_(buf_);
        buf_.clear();
    }

    bool save_;
    const std::function<bool(std::string_view)>& sink_;
    std::string buf_;
    bool ok_ = true;
    bool any_ = false;
    bool skipLf_ = false;
    char last_ = 0;
};

void WriteOpenTag(Output& out, const TGmXmlNode& node) {
    out.Raw("<");
    out.Raw(node.Name());
    const TGmXmlAttributeList& attrs = node.Attributes();
    for (size_t i = 0; i < attrs.Count(); ++i) {
        out.Raw(" ");
        out.Raw(attrs.Attribute(i).Name());
        out.Raw("=\"");
        out.Escaped(attrs.Attribute(i).Value());
        out.Raw("\"");
    }
    if (node.IsEmpty()) out.Raw(" /");
    out.Raw(">");
}

enum class TokenKind { Text, Close, Declaration, Empty, Open };

struct Token {
    TokenKind kind = TokenKind::Text;
    std::string_view text;
};

TokenKind Classify(std::string_view t) {
    if (t.size() < 2 || t[0] != '<') return TokenKind::Text;
    if (t[1] == '/') return TokenKind::Close;
    if (t[1] == '?') return TokenKind::Declaration;
    // A tag token ends at its first '>', so "/>" can only stand at its end.
    if (t.size() >= 3 && t.substr(t.size() - 2) == "/>") return TokenKind::Empty;
    return TokenKind::Open;
}

class Tokenizer {
public:
    explicit Tokenizer(std::string_view s) : s_(s) {}
    bool Next(Token& t) {
        if (pos_ >= s_.size()) return false;
        const char* base = s_.data();
        size_t end;
        if (s_[pos_] == '<') {
            const void* gt = std::memchr(base + pos_ + 1, '>', s_.size() - pos_ - 1);
            end = gt ? static_cast<const char*>(gt) - base + 1 : s_.size();
        } else {
            const void* lt = std::memchr(base + pos_, '<', s_.size() - pos_);
            end = lt ? static_cast<const char*>(lt) - base : s_.size();
        }
        t.text = s_.substr(pos_, end - pos_);
        t.kind = Classify(t.text);
        pos_ = end;
        return true;
    }

private:
    std::string_view s_;
    size_t pos_ = 0;
};

}  // namespace

std::string GmXmlEscape(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': result += "&amp;"; break;
            case '<': result += "&lt;"; break;
            case '>': result += "&gt;"; break;
            case '"': result += "&quot;"; break;
            default: result += c;
        }
    }
    return result;
}

std::string GmXmlUnescape(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const void* amp = std::memchr(text.data() + pos, '&', text.size() - pos);
        if (!amp) break;
        size_t at = static_cast<const char*>(amp) - text.data();
        result.append(text.substr(pos, at - pos));
        std::string_view rest = text.substr(at + 1);
        if (EqualsNoCase(rest, "amp;")) {
            result += '&';
            pos = at + 5;
        } else if (EqualsNoCase(rest, "lt;")) {
            result += '<';
            pos = at + 4;
        } else if (EqualsNoCase(rest, "gt;")) {
            result += '>';
            pos = at + 4;
        } else if (EqualsNoCase(rest, "quot;")) {
            result += '"';
            pos = at + 6;
        } else {
            result += '&';
            pos = at + 1;
        }
    }
    result.append(text.substr(std::min(pos, text.size())));
    return result;
}

// --- attributes ---

TGmXmlAttribute::TGmXmlAttribute(std::string_view name, std::string_view value)
    : name_(TrimBlanks(name)), value_(TrimBlanks(value)) {}

void TGmXmlAttribute::SetName(std::string_view name) {
    name_.assign(TrimBlanks(name));
    if (list_) list_->index_.clear();
}

void TGmXmlAttribute::SetValue(std::string_view value) { value_.assign(TrimBlanks(value)); }

const TGmXmlAttribute* TGmXmlAttributeList::Find(std::string_view name) const {
    if (items_.size() <= kIndexThreshold) {
        for (const auto& a : items_)
            if (a->Name() == name) return a.get();
        return nullptr;
    }
    if (index_.empty()) {
        for (size_t i = 0; i < items_.size(); ++i) index_.emplace(items_[i]->Name(), i);
    }
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : items_[it->second].get();
}

TGmXmlAttribute* TGmXmlAttributeList::AttributeByName(std::string_view name) {
    return const_cast<TGmXmlAttribute*>(Find(name));
}

const TGmXmlAttribute* TGmXmlAttributeList::AttributeByName(std::string_view name) const {
    return Find(name);
}

TGmXmlAttribute& TGmXmlAttributeList::SetAttribute(std::string_view name, std::string_view value) {
    // Stored names are trimmed, so an untrimmed look-up could never match
    // and would add a second attribute of the same name.
    name = TrimBlanks(name);
    if (TGmXmlAttribute* existing = AttributeByName(name)) {
        existing->SetValue(value);
        return *existing;
    }
    items_.push_back(std::make_unique<TGmXmlAttribute>(name, value));
    TGmXmlAttribute* created = items_.back().get();
    created->list_ = this;
    if (!index_.empty()) index_.emplace(created->Name(), items_.size() - 1);
    last_ = created;
    return *created;
}

void TGmXmlAttributeList::Clear() {
    index_.clear();
    items_.clear();
    last_ = nullptr;
}

// --- node lists ---

void TGmXmlNodeList::DestroyForest(std::vector<std::unique_ptr<TGmXmlNode>>& nodes) {
    // Without recursion, so that any nesting depth is safe: detach each
    // node's children into the work list before the node dies.
    std::vector<std::unique_ptr<TGmXmlNode>> work = std::move(nodes);
    nodes.clear();
    while (!work.empty()) {
        std::unique_ptr<TGmXmlNode> n = std::move(work.back());
        work.pop_back();
        auto& kids = n->children_.items_;
        for (auto& k : kids) work.push_back(std::move(k));
        kids.clear();
    }
}

TGmXmlNodeList::~TGmXmlNodeList() { DestroyForest(items_); }

TGmXmlNode* TGmXmlNodeList::NodeByName(std::string_view name) {
    for (const auto& n : items_)
        if (n->name_ == name) return n.get();
    return nullptr;
}

const TGmXmlNode* TGmXmlNodeList::NodeByName(std::string_view name) const {
    return const_cast<TGmXmlNodeList*>(this)->NodeByName(name);
}

TGmXmlNode& TGmXmlNodeList::AddOpenElement(std::string_view tagText) {
    TGmXmlNodeList* target = current_ ? &current_->children_ : this;
    target->items_.push_back(std::unique_ptr<TGmXmlNode>(new TGmXmlNode(current_, target)));
    TGmXmlNode* node = target->items_.back().get();
    node->SetFromTag(tagText);
    current_ = node;
    return *node;
}

void TGmXmlNodeList::CloseElement() {
    // Not above Owner: a child list's cursor stays inside its own subtree.
    if (current_ && current_ != owner_) current_ = current_->parent_;
}

TGmXmlNode& TGmXmlNodeList::Add(std::string_view tagText) {
    TGmXmlNode& node = AddOpenElement(tagText);
    CloseElement();
    return node;
}

void TGmXmlNodeList::Clear() {
    // Cursors of the enclosing lists may point into the nodes about to be
    // freed; bring them back to this list's owner, which survives.
    auto inside = [this](const TGmXmlNode* c) {
        for (; c; c = c->parent_)
            if (c == owner_) return true;
        return false;
    };
    for (TGmXmlNode* a = owner_; a; a = a->parent_) {
        TGmXmlNodeList* list = a->list_;
        if (list && list->current_ && list->current_ != owner_ && inside(list->current_))
            list->current_ = owner_;
    }
    current_ = owner_;
    DestroyForest(items_);
}

// --- nodes ---

size_t TGmXmlNode::Level() const {
    size_t level = 0;
    for (const TGmXmlNode* p = parent_; p; p = p->parent_) ++level;
    return level;
}

void TGmXmlNode::SetFromTag(std::string_view tag) {
    if (!tag.empty() && tag.front() == '<') tag.remove_prefix(1);
    if (tag.size() >= 2 && tag.substr(tag.size() - 2) == "/>")
        tag.remove_suffix(2);
    else if (!tag.empty() && tag.back() == '>')
        tag.remove_suffix(1);

    std::string_view name = tag;
    if (tag.find('=') != std::string_view::npos) {
        // With attributes the name ends at the first blank; a tag without
        // that blank gets an empty name.
        size_t blank = tag.find(' ');
        name = blank == std::string_view::npos ? std::string_view() : tag.substr(0, blank);
    }
    name_.assign(TrimBlanks(name));

    // Every attribute has an "=": reserving for them saves the list's
    // regrowth on the many small elements of a large patch.
    size_t equals = 0;
    for (const char* p = tag.data(); (p = static_cast<const char*>(std::memchr(p, '=', tag.data() + tag.size() - p)));
         ++p)
        ++equals;
    if (equals) attributes_.Reserve(std::min<size_t>(equals, 64));

    std::string_view work = tag;
    while (work.find('=') != std::string_view::npos) {
        size_t blank = work.find(' ');
        if (blank != std::string_view::npos) work.remove_prefix(blank);
        size_t eq = work.find('=');
        if (eq == std::string_view::npos) break;
        std::string_view attrName = work.substr(0, eq);
        std::string_view rest = work.substr(eq + 1);
        // Only a double-quoted value counts; anything else ends the scan.
        size_t open = rest.find('"');
        if (open == std::string_view::npos || !TrimBlanks(rest.substr(0, open)).empty()) break;
        rest.remove_prefix(open + 1);
        size_t close = rest.find('"');
        if (close == std::string_view::npos) break;
        std::string_view value = TrimBlanks(rest.substr(0, close));
        work = rest.substr(close + 1);
        if (value.find('&') == std::string_view::npos)
            attributes_.SetAttribute(attrName, value);
        else
            attributes_.SetAttribute(attrName, GmXmlUnescape(value));
    }
}

std::string TGmXmlNode::OpenTagText() const {
    std::string text;
    std::function<bool(std::string_view)> sink = [&](std::string_view s) {
        text.append(s);
        return true;
    };
    Output out(false, sink);
    WriteOpenTag(out, *this);
    out.Finish();
    return text;
}

std::string TGmXmlNode::CloseTagText() const { return "</" + name_ + ">"; }

// --- document ---

std::string TGmXML::About() const { return "TGmXML v0.12"; }

bool TGmXML::Write(bool save, const std::function<bool(std::string_view)>& sink) const {
    if (nodes_.Count() == 0) return true;
    Output out(save, sink);
    const std::string_view nl = formatted_ ? "\r\n" : "";
    static const std::string blanks(2 * kMaxIndentLevel, ' ');
    auto indent = [&](size_t level) {
        if (formatted_) out.Raw(std::string_view(blanks).substr(0, 2 * std::min(level, kMaxIndentLevel)));
    };
    // Returns true when the node's children and closing tag are still due.
    auto open = [&](const TGmXmlNode& n, size_t level) {
        indent(level);
        WriteOpenTag(out, n);
        if (n.IsEmpty()) {
            out.Raw(nl);
            return false;
        }
        if (!n.Value().empty())
            out.Escaped(n.Value());
        else
            out.Raw(nl);
        return true;
    };
    auto close = [&](const TGmXmlNode& n, size_t level) {
        if (n.Value().empty()) indent(level);
        out.Raw("</");
        out.Raw(n.Name());
        out.Raw(">");
        out.Raw(nl);
    };

    out.Raw(kDeclaration);
    out.Raw(nl);
    struct Frame {
        const TGmXmlNode* node;
        size_t next;
    };
    std::vector<Frame> stack;
    for (const auto& top : nodes_) {
        if (open(*top, 0)) stack.push_back({top.get(), 0});
        while (!stack.empty()) {
            Frame& f = stack.back();
            const TGmXmlNodeList& kids = f.node->Children();
            if (f.next < kids.Count()) {
                const TGmXmlNode& child = kids.Node(f.next++);
                size_t level = stack.size();
                if (open(child, level)) stack.push_back({&child, 0});
            } else {
                close(*f.node, stack.size() - 1);
                stack.pop_back();
            }
        }
    }
    return out.Finish();
}

std::string TGmXML::Text() const {
    std::string text;
    Write(false, [&](std::string_view s) {
        text.append(s);
        return true;
    });
    return text;
}

void TGmXML::SetText(std::string_view text) {
    std::string copy(text);
    Read(copy.data(), copy.size());
}

void TGmXML::Read(char* data, size_t size) {
    // Line breaks are not content: drop every CR and LF.
    size_t w = 0;
    for (size_t r = 0; r < size; ++r) {
        char c = data[r];
        if (c != '\r' && c != '\n') data[w++] = c;
    }

    nodes_.Clear();
    Tokenizer tokens(std::string_view(data, w));
    Token prev, cur, next;
    bool hasPrev = false;
    bool hasCur = tokens.Next(cur);
    while (hasCur) {
        bool hasNext = tokens.Next(next);
        switch (cur.kind) {
            case TokenKind::Open:
                nodes_.AddOpenElement(cur.text);
                break;
            case TokenKind::Empty:
                nodes_.AddOpenElement(cur.text);
                nodes_.CloseElement();
                break;
            case TokenKind::Close:
                nodes_.CloseElement();
                break;
            case TokenKind::Declaration:
                break;
            case TokenKind::Text: {
                // Only text that is an element's whole content survives; the
                // first and last token are exempt from that test.
                bool keep = !hasPrev || !hasNext ||
                            (prev.kind == TokenKind::Open && next.kind == TokenKind::Close);
                if (keep && nodes_.CurrentNode()) {
                    std::string_view t = TrimBlanks(cur.text);
                    nodes_.CurrentNode()->SetValue(t.find('&') == std::string_view::npos
                                                       ? std::string(t)
                                                       : GmXmlUnescape(t));
                }
                break;
            }
        }
        prev = cur;
        hasPrev = true;
        cur = next;
        hasCur = hasNext;
    }
}

void TGmXML::LoadBuffer(char* data, size_t size) {
    if (size == 0) return;
    if (const void* nul = std::memchr(data, 0, size)) size = static_cast<const char*>(nul) - data;
    Read(data, size);
}

void TGmXML::LoadBytes(std::string_view bytes) {
    std::string copy(bytes);
    LoadBuffer(copy.data(), copy.size());
}

void TGmXML::LoadStream(std::istream& in) {
    std::string bytes;
    char buf[1 << 16];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) bytes.append(buf, static_cast<size_t>(in.gcount()));
    LoadBuffer(bytes.data(), bytes.size());
}

Status TGmXML::LoadFile(const std::string& path) {
    std::string bytes;
    if (Status s = ReadWholeFile(path, bytes); !s) return s;
    LoadBuffer(bytes.data(), bytes.size());
    return {};
}

bool TGmXML::SaveStream(std::ostream& out) const {
    bool ok = Write(true, [&](std::string_view s) {
        out.write(s.data(), static_cast<std::streamsize>(s.size()));
        return static_cast<bool>(out);
    });
    return ok && out.good();
}

Status TGmXML::SaveFile(const std::string& path) const {
    return WriteFileAtomic(path, [&](std::FILE* f) {
        return Write(true, [&](std::string_view s) { return std::fwrite(s.data(), 1, s.size(), f) == s.size(); });
    });
}

}  // namespace flashsmith::xml
