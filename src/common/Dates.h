// Calendar dates as the program stores them: TDateTime counts days from
// 30 December 1899 (day 0); the fraction, unused here, is the time of day.
#pragma once

namespace reelstart {

using TDateTime = double;

bool IsLeapYear(int year);
// Days in `month` of `year`; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);
// Encodes a date of years 1 to 9999; false (and `date` untouched) for a
// date that does not exist.
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
// The calendar date of the day `date` falls on.
void DecodeDate(TDateTime date, int& year, int& month, int& day);

}  // namespace reelstart
