{ Reference vectors for rtl::FormatDateTime, DateToStr, TimeToStr and
  DateTimeToStr, written by Free Pascal's SysUtils in Delphi mode with the
  Russian stations' settings. Run through make_vectors.sh.

  Output, one case a line, fields separated by a tab:
    kind <tab> format <tab> bits <tab> text
  kind: D FormatDateTime, d DateToStr, t TimeToStr, c DateTimeToStr;
  bits: the TDateTime double's bit pattern in 16 hex digits. }
program datetime_fpc;
{$mode delphi}
uses SysUtils;

const
  Formats: array[0..18] of string = (
    'dd.mm.yyyy', 'hh:nn:ss', 'dd/mm/yy hh:nn:ss.zzz', 'yyyy-mm-dd', 'h:m:s',
    'd.m.y', 'c', '', 'hh:mm', 'H:mm:ss', 'dd.MM.yyyy', 'hh:mm:ss am/pm',
    'h a/p', '"date" dd.mm ''at'' hh:nn', 'yyyymmdd_hhnn', 'hh mm', 'hh nn',
    'zz|z|zzz', 'ddd mmm');

var
  Seed: LongWord = 4242;

function Rand: LongWord;
begin
  Seed := Seed * 1103515245 + 12345;
  Result := Seed shr 8;
end;

function Bits(v: double): string;
var q: QWord absolute v;
begin
  Result := IntToHex(q, 16);
end;

procedure Emit(v: TDateTime);
var f: integer;
begin
  for f := Low(Formats) to High(Formats) do
    writeln('D'#9, Formats[f], #9, Bits(v), #9, FormatDateTime(Formats[f], v));
  writeln('d'#9#9, Bits(v), #9, DateToStr(v));
  writeln('t'#9#9, Bits(v), #9, TimeToStr(v));
  writeln('c'#9#9, Bits(v), #9, DateTimeToStr(v));
end;

var
  i: integer;
begin
  ShortDateFormat := 'dd.MM.yyyy';
  LongTimeFormat := 'H:mm:ss';
  DateSeparator := '.';
  TimeSeparator := ':';
  Emit(0);
  Emit(0.5);
  Emit(-0.5);
  Emit(-1.25);
  Emit(1.75);
  Emit(0.99999999999);
  Emit(0.999999);
  Emit(EncodeDate(2018, 3, 5) + EncodeTime(14, 7, 9, 45));
  Emit(EncodeDate(2018, 3, 5) + EncodeTime(4, 7, 9, 0));
  Emit(EncodeDate(2018, 3, 5));
  Emit(EncodeDate(2018, 3, 5) + EncodeTime(0, 0, 0, 5));
  Emit(EncodeDate(1970, 1, 1));
  Emit(EncodeDate(2000, 2, 29) + EncodeTime(23, 59, 59, 999));
  Emit(EncodeDate(1, 1, 1));
  Emit(EncodeDate(9999, 12, 31) + EncodeTime(12, 0, 0, 0));
  Emit(EncodeDate(1899, 12, 29) + 0.25);
  Emit(EncodeDate(1600, 3, 1) - EncodeTime(6, 30, 0, 0));
  Emit(EncodeDate(2106, 2, 7) + EncodeTime(6, 28, 15, 0));
  for i := 1 to 60 do
    Emit((Rand mod 80000000) / 1000.0 - 10000.0);
end.
