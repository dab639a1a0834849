// Builds a form's components from its window definition and gives the
// components typed access to the values of their properties. Every fault
// throws Exception with a message naming the component and the property.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "toolkit/Classes.h"
#include "toolkit/Exception.h"
#include "toolkit/FormStream.h"
#include "toolkit/Graphics.h"

class TForm;

class TReader {
 public:
  explicit TReader(TForm& root) : root_(root) {}

  // Reads a binary window definition into the form: sets the form's own
  // properties, creates its components in order, sets theirs, binds them to
  // the form's published fields and wires their events to its published
  // methods. Leaves nothing half-built: on a fault the components it created
  // are destroyed again before the Exception propagates.
  void ReadRootComponent(std::span<const std::uint8_t> stream);

  std::int64_t ReadInt(const TComponent& c, const formstream::Property& p,
                       std::int64_t min = std::numeric_limits<std::int32_t>::min(),
                       std::int64_t max = std::numeric_limits<std::int32_t>::max());
  bool ReadBool(const TComponent& c, const formstream::Property& p);
  std::string ReadString(const TComponent& c, const formstream::Property& p);
  std::string ReadIdent(const TComponent& c, const formstream::Property& p);
  std::vector<std::string> ReadSet(const TComponent& c, const formstream::Property& p);
  TCursor ReadCursor(const TComponent& c, const formstream::Property& p);
  TColor ReadColor(const TComponent& c, const formstream::Property& p);
  void ReadPicture(const TComponent& c, const formstream::Property& p, TPicture& picture);

  // The published method the identifier value names, which must have the
  // event's signature.
  template <class Event>
  Event ReadMethod(const TComponent& c, const formstream::Property& p) {
    const std::string name = ReadIdent(c, p);
    TMethod method = FindMethod(c, p, name);
    if (auto* e = std::get_if<Event>(&method)) return *e;
    Fail(c, p, "Method " + name + " does not have the signature of " + p.name);
  }

  [[noreturn]] void Fail(const TComponent& c, const formstream::Property& p, const std::string& why) const;

 private:
  TMethod FindMethod(const TComponent& c, const formstream::Property& p, const std::string& name);
  void ReadComponent(const formstream::Component& record);

  TForm& root_;
};
