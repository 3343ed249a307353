// The platform runtime's image object, as far as an image memo holder
// (CTNMemoImage) uses it: its reference count, the version of its interface
// and the writing of its binary form.
//
// The runtime owns the object; a holder keeps one reference (AddRef when it
// attaches the object, Release when it lets it go) and never deletes it.
#pragma once

class CTNBIN;

class IImageTN {
 public:
  // Adds one reference; returns the new count.
  virtual unsigned long AddRef() = 0;
  // Takes one reference away (the object may be gone after the last);
  // returns the new count.
  virtual unsigned long Release() = 0;
  // Version of the object's interface; the binary form can be asked for
  // from version 8 on.
  virtual int nGetVersion() = 0;
  // Writes the image's binary form into *pclOut, replacing its content.
  // True when it was written.
  virtual bool bSauveTNBin(CTNBIN* pclOut) = 0;

 protected:
  // Holders release, never delete.
  ~IImageTN() = default;
};
