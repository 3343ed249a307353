// The runtime's global factory (information item 9). A module only asks its
// first operation, which answers the factory's level; the rest of the
// interface belongs to the runtime and is never called from here.
#pragma once

class IGlobalFactory {
 public:
  // Slot 0: the factory's level; above 1 means dynamic types must be set up.
  virtual int vnGetLevel() = 0;
};
