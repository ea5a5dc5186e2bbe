// A sound patch laid out as the patch writer lays it out: sounds 3 and 5
// deleted (the placeholder sound right before the first deletion), sound 2
// linked to sound 1, sound 6 replaced. Offsets of the last two data elements
// are written in the other accepted number forms.
#pragma once

#include <string>

#include "base/Hex.h"
#include "patches/PatchFormat.h"

namespace flashsmith {

inline const std::string kSoundPatch =
    "<?xml version=\"1.0\" encoding=\"Windows-1251\" ?>\r\n"
    "<patch version=\"1.0a\">\r\n"
    "  <info name=\"Quiet &amp; &quot;calm&quot;\" group=\"\" version=\"1.1\">\r\n"
    "    <about description=\"Deletes two ringtones\" />\r\n"
    "    <author nick=\"mirel\" e-mail=\"m@example.org\" internet=\"http://example.org\" ICQ=\"12345\" />\r\n"
    "    <author e-mail=\"\" />\r\n"
    "  </info>\r\n"
    "  <patchdata firmware=\"E700XXJD1\">\r\n"
    "    <resource type=\"snd\" convert=\"part\">\r\n"
    "      <data offset=\"0x00001000\" number=\"0\" id=\"0\" "
    "from=\"000000000000000000000000000000000000000000000000\" "
    "to=\"00200000000000009D000000002000009D00000000300000\" />\r\n"
    "      <data offset=\"8192\" number=\"-1\" id=\"0\" from=\"" +
    std::string(314, '0') + "\" to=\"" + base::BytesToHex(patches::PlaceholderSound()) +
    "\" />\r\n"
    "      <meta type=\"deleted\" number=\"3\" id=\"0\" />\r\n"
    "      <comment text=\"ignored\" />\r\n"
    "      <META type=\"DELETED\" number=\"5\" id=\"0\" />\r\n"
    "      <meta type=\"link\" number=\"2\" id=\"0\" linkto=\"0\" />\r\n"
    "      <Data offset=\"0X00003000\" number=\"6\" id=\"0\" from=\"01020304\" to=\"0A0B0C0D\" />\r\n"
    "    </resource>\r\n"
    "  </patchdata>\r\n"
    "</patch>\r\n";

}  // namespace flashsmith
