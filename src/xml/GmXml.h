// A small XML element tree with its own restricted reader and writer. It is
// the storage format of patch files and of the settings, so its quirks (what
// text survives a read, how a tag is cut into name and attributes, how output
// is laid out) are part of those file formats and must not be "fixed".
//
// All texts are 8-bit bytes, passed through unconverted.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Result.h"

namespace flashsmith::xml {

class TGmXmlNode;
class TGmXML;

// "&" "<" ">" and the double quote as entity references, in that order.
std::string GmXmlEscape(std::string_view text);
// Decodes &amp; &lt; &gt; &quot; (any letter case), each reference once.
std::string GmXmlUnescape(std::string_view text);

class TGmXmlAttributeList;

class TGmXmlAttribute {
public:
    TGmXmlAttribute(std::string_view name, std::string_view value);
    const std::string& Name() const { return name_; }
    const std::string& Value() const { return value_; }
    // Both trim what they are given.
    void SetName(std::string_view name);
    void SetValue(std::string_view value);

private:
    friend class TGmXmlAttributeList;
    std::string name_;
    std::string value_;
    TGmXmlAttributeList* list_ = nullptr;
};

class TGmXmlAttributeList {
public:
    TGmXmlAttributeList() = default;
    TGmXmlAttributeList(const TGmXmlAttributeList&) = delete;
    TGmXmlAttributeList& operator=(const TGmXmlAttributeList&) = delete;

    size_t Count() const { return items_.size(); }
    TGmXmlAttribute& Attribute(size_t index) { return *items_.at(index); }
    const TGmXmlAttribute& Attribute(size_t index) const { return *items_.at(index); }
    TGmXmlAttribute* AttributeByName(std::string_view name);
    const TGmXmlAttribute* AttributeByName(std::string_view name) const;
    // Sets the value of the attribute of that name, or appends a new one.
    TGmXmlAttribute& SetAttribute(std::string_view name, std::string_view value);
    TGmXmlAttribute* LastCreated() const { return last_; }
    void Clear();
    void Reserve(size_t count) { items_.reserve(items_.size() + count); }

private:
    friend class TGmXmlAttribute;
    const TGmXmlAttribute* Find(std::string_view name) const;

    std::vector<std::unique_ptr<TGmXmlAttribute>> items_;
    TGmXmlAttribute* last_ = nullptr;
    // Built only for elements with many attributes, so that a tag with
    // millions of them still reads in linear time.
    // Keys view the attributes' own names; a rename drops the index.
    mutable std::unordered_map<std::string_view, size_t> index_;
};

class TGmXmlNodeList {
public:
    explicit TGmXmlNodeList(TGmXmlNode* owner) : owner_(owner), current_(owner) {}
    ~TGmXmlNodeList();
    TGmXmlNodeList(const TGmXmlNodeList&) = delete;
    TGmXmlNodeList& operator=(const TGmXmlNodeList&) = delete;

    size_t Count() const { return items_.size(); }
    TGmXmlNode& Node(size_t index) { return *items_.at(index); }
    const TGmXmlNode& Node(size_t index) const { return *items_.at(index); }
    // First node of this list (not its descendants) with exactly that name.
    TGmXmlNode* NodeByName(std::string_view name);
    const TGmXmlNode* NodeByName(std::string_view name) const;

    TGmXmlNode* Owner() const { return owner_; }
    TGmXmlNode* CurrentNode() const { return current_; }

    // Appends a node built from the tag text under CurrentNode and descends
    // into it.
    TGmXmlNode& AddOpenElement(std::string_view tagText);
    // Climbs back to CurrentNode's parent, never above Owner.
    void CloseElement();
    // AddOpenElement followed by CloseElement.
    TGmXmlNode& Add(std::string_view tagText);
    void Clear();

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    friend class TGmXmlNode;
    static void DestroyForest(std::vector<std::unique_ptr<TGmXmlNode>>& nodes);
    std::vector<std::unique_ptr<TGmXmlNode>> items_;
    TGmXmlNode* owner_;
    TGmXmlNode* current_;
};

class TGmXmlNode {
public:
    virtual ~TGmXmlNode() = default;
    TGmXmlNode(const TGmXmlNode&) = delete;
    TGmXmlNode& operator=(const TGmXmlNode&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    // Element text, stored as given.
    const std::string& Value() const { return value_; }
    void SetValue(std::string value) { value_ = std::move(value); }

    TGmXmlAttributeList& Attributes() { return attributes_; }
    const TGmXmlAttributeList& Attributes() const { return attributes_; }
    TGmXmlNodeList& Children() { return children_; }
    const TGmXmlNodeList& Children() const { return children_; }
    TGmXmlNode* Parent() const { return parent_; }

    // Number of ancestors.
    size_t Level() const;
    bool IsEmpty() const { return children_.Count() == 0 && value_.empty(); }
    // Sets Name and attributes from the text of a tag such as
    // <name a="1" b="2">. Attribute values are entity-decoded.
    virtual void SetFromTag(std::string_view tagText);
    std::string OpenTagText() const;
    std::string CloseTagText() const;

    // The list that holds this node.
    TGmXmlNodeList* List() const { return list_; }

protected:
    TGmXmlNode(TGmXmlNode* parent, TGmXmlNodeList* list)
        : parent_(parent), list_(list), children_(this) {}

private:
    friend class TGmXmlNodeList;
    std::string name_;
    std::string value_;
    TGmXmlNode* parent_;
    TGmXmlNodeList* list_;
    TGmXmlAttributeList attributes_;
    TGmXmlNodeList children_;
};

// The document. Owns the top-level elements in Nodes().
class TGmXML {
public:
    TGmXML() : nodes_(nullptr) {}
    TGmXML(const TGmXML&) = delete;
    TGmXML& operator=(const TGmXML&) = delete;

    TGmXmlNodeList& Nodes() { return nodes_; }
    const TGmXmlNodeList& Nodes() const { return nodes_; }
    bool Formatted() const { return formatted_; }
    void SetFormatted(bool formatted) { formatted_ = formatted; }
    std::string About() const;

    // The whole document as the writer lays it out.
    std::string Text() const;
    // Replaces the tree with what the reader builds from the text.
    void SetText(std::string_view text);

    // Writes Text with every line break as CR LF and a CR LF after the last
    // line; false when the stream failed.
    bool SaveStream(std::ostream& out) const;
    // Writes to a temporary file beside path and renames it over path only
    // when complete.
    base::Status SaveFile(const std::string& path) const;
    // Reads the rest of the stream; input ends at the first zero byte. Empty
    // input leaves the tree as it was.
    void LoadStream(std::istream& in);
    // As LoadStream on the whole file; fails (tree unchanged) when the file
    // cannot be read.
    base::Status LoadFile(const std::string& path);
    // As LoadStream on these bytes.
    void LoadBytes(std::string_view bytes);

private:
    // Reads the text in place: its line breaks are squeezed out first.
    void Read(char* text, size_t size);
    // LoadStream's rules on a buffer it may change.
    void LoadBuffer(char* data, size_t size);
    bool Write(bool save, const std::function<bool(std::string_view)>& sink) const;

    TGmXmlNodeList nodes_;
    bool formatted_ = true;
};

}  // namespace flashsmith::xml
