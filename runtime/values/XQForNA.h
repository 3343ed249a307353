// The one place where the index keys find the database-engine host's
// interface (IXQForNA): the driver stores what the host hands it through
// bSetXQ here, and the wide-text keys read it when they need the host's
// linguistic converter.
//
// Ownership: the interface stays the host's; storing it neither adds a
// reference nor takes one, and storing another (or null) simply forgets the
// previous one. The host keeps it alive as long as it is stored.
// Thread safety: the pointer is read and written atomically, so a key being
// computed sees either the old or the new interface, never a torn one.
#pragma once

class IXQForNA;

// Stores the host interface (null: none; keys then take the plain path).
void XQForNA_Set(IXQForNA* piXQ);
// The stored host interface, null when none was stored.
IXQForNA* XQForNA_piGet();
