// IGaugeControl: the runtime's progress gauge of a long operation
// (reindexing a table).
//
// The runtime implements it and passes it with the operation; the library
// calls none of its operations, takes no count on it and hands the same
// pointer on unchanged to the data access that does the work. Declared
// empty: only its identity crosses this side.
#pragma once

class IGaugeControl {
 protected:
  ~IGaugeControl() = default;
};
