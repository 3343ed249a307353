// The interface of a runtime object that a typed value of kind OBJET_BASE
// (108, 141 to 143) or DINO (111) holds: a counted reference the value adds
// (slot 0) and gives back (slot 1); objects of kind 141 also give their
// processing interface (slot 49). Slots 2 to 48 are the runtime's and are
// never called here; they exist so that slot 49 sits where the runtime puts
// it. No virtual destructor: an object goes when its last reference does.
#pragma once

#include <cstdint>

class IRuntimeObject {
 public:
  virtual std::uint32_t AddRef() = 0;   // 0
  virtual std::uint32_t Release() = 0;  // 1
  virtual void _Reserved2() = 0;
  virtual void _Reserved3() = 0;
  virtual void _Reserved4() = 0;
  virtual void _Reserved5() = 0;
  virtual void _Reserved6() = 0;
  virtual void _Reserved7() = 0;
  virtual void _Reserved8() = 0;
  virtual void _Reserved9() = 0;
  virtual void _Reserved10() = 0;
  virtual void _Reserved11() = 0;
  virtual void _Reserved12() = 0;
  virtual void _Reserved13() = 0;
  virtual void _Reserved14() = 0;
  virtual void _Reserved15() = 0;
  virtual void _Reserved16() = 0;
  virtual void _Reserved17() = 0;
  virtual void _Reserved18() = 0;
  virtual void _Reserved19() = 0;
  virtual void _Reserved20() = 0;
  virtual void _Reserved21() = 0;
  virtual void _Reserved22() = 0;
  virtual void _Reserved23() = 0;
  virtual void _Reserved24() = 0;
  virtual void _Reserved25() = 0;
  virtual void _Reserved26() = 0;
  virtual void _Reserved27() = 0;
  virtual void _Reserved28() = 0;
  virtual void _Reserved29() = 0;
  virtual void _Reserved30() = 0;
  virtual void _Reserved31() = 0;
  virtual void _Reserved32() = 0;
  virtual void _Reserved33() = 0;
  virtual void _Reserved34() = 0;
  virtual void _Reserved35() = 0;
  virtual void _Reserved36() = 0;
  virtual void _Reserved37() = 0;
  virtual void _Reserved38() = 0;
  virtual void _Reserved39() = 0;
  virtual void _Reserved40() = 0;
  virtual void _Reserved41() = 0;
  virtual void _Reserved42() = 0;
  virtual void _Reserved43() = 0;
  virtual void _Reserved44() = 0;
  virtual void _Reserved45() = 0;
  virtual void _Reserved46() = 0;
  virtual void _Reserved47() = 0;
  virtual void _Reserved48() = 0;
  virtual void* piGetTraitement() = 0;  // 49

 protected:
  ~IRuntimeObject() = default;
};
