#include "platform/restore_point.h"

#include "platform/clock.h"
#include "platform/text.h"
#include "platform/wmi.h"

namespace quillary {
namespace {

// A sequence number as WMI gives it (a uint32 converted to text); false for
// anything else.
bool sequence_number_of(const std::u16string& text, int64_t& number) {
  if (text.empty() || text.size() > 10) return false;
  number = 0;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    number = number * 10 + (c - u'0');
  }
  return number <= UINT32_MAX;
}

// The greatest number among the points WMI lists, 0 when it lists none.
// False when it cannot list them, or lists one whose number is no number:
// the newest could be that one.
bool newest_sequence_number(wmi_connection_i& points, int64_t& newest) {
  int64_t greatest = 0;
  bool readable = true;
  const int listed = points.for_each_value(u"SELECT SequenceNumber FROM SystemRestore", u"SequenceNumber",
                                           [&](const std::u16string& text) {
                                             int64_t number = 0;
                                             readable = sequence_number_of(text, number);
                                             if (number > greatest) greatest = number;
                                             return readable;
                                           });
  if (listed != 0 || !readable) return false;
  newest = greatest;
  return true;
}

// When the point was made, as UTC text; empty when WMI does not say.
std::u16string creation_time(wmi_connection_i& points, int64_t sequence_number) {
  std::u16string created;
  points.for_each_value(u"SELECT CreationTime FROM SystemRestore WHERE SequenceNumber = " +
                            ascii_to_utf16(std::to_string(sequence_number)),
                        u"CreationTime", [&](const std::u16string& text) {
                          int64_t seconds = 0;
                          if (seconds_of_wmi_datetime(text, seconds)) created = utc_time_text(seconds);
                          return false;  // the number is the class's key: one point at most
                        });
  return created;
}

}  // namespace

restore_point_answer ask_for_restore_point(wmi_connection_i* points, const begin_restore_point_fn& begin) {
  restore_point_answer answer;
  // Read before asking: afterwards the newest is the answered point itself,
  // whether Windows made it now or not.
  answer.previous_known = points && newest_sequence_number(*points, answer.previous_sequence_number);
  answer.made = begin(answer.sequence_number, answer.status);
  if (answer.made && points && answer.sequence_number > 0) {
    answer.created = creation_time(*points, answer.sequence_number);
  }
  return answer;
}

}  // namespace quillary
