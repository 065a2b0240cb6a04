{ Reference vectors for rtl::FloatToStr, rtl::FormatFloat and
  rtl::StrToIntDef, written by Free Pascal's SysUtils in Delphi mode with the
  Russian stations' decimal separator. Run through make_vectors.sh.

  Output, one case a line, fields separated by a tab:
    G <tab> (empty) <tab> bits <tab> FloatToStr(value)
    F <tab> pattern <tab> bits <tab> FormatFloat(pattern, value)
    I <tab> text    <tab> default <tab> StrToIntDef(text, default)
  bits: the double's IEEE-754 bit pattern in 16 hex digits. In texts a tab is
  written as \t and a backslash as \\. }
program numbers_fpc;
{$mode delphi}
uses SysUtils;

const
  Patterns: array[0..27] of string = (
    '0.00', '0.0', '0', '0.000', '0.0000', '0.00000', '0.000000', '0.0000000',
    '0.00000000', '0.', '#.##', '#,##0.00', '0.00E+00', '0.###E-0', '#0.0#',
    '0.00;(0.00);zero', '"x"0.0', '00000', '0.0;minus 0.0', '0.000E+00',
    '#.###E-0', '00-00', '.00', '#', '0.0e-000', '0,000', 'abc', '0.0 ''m''');

  Hand: array[0..63] of double = (
    0, 1, -1, 0.5, 1.5, 2.5, -2.5, 0.125, 12.5, 12.0, 100, 0.00012, 2.0E-9,
    3.14159, 1234, -1234, 1234567.891, -12345, 42, 0.04, 999.95, 999.995,
    99.995, 0.005, -0.005, -0.001, -0.4, 0.05, 0.95, 0.095, 9.5E-6, 1E-5,
    1E-6, -1.5E-7, 0.0001, 0.00001, 0.000015, 1E14, 1E15, -1E15, 1E16,
    5E15, 999999999999999.9, 999999999999999.4, 123456789012345678.0,
    1234567890123455.0, 1234567890123445.0, 1E17, 1E20, 1E100, 1E-100,
    1.7976931348623157E308, 2.2250738585072014E-308, 4.9406564584124654E-324,
    0.1, 0.2, 0.30000000000000004, 0.3333333333333333, 0.6666666666666666,
    2147483648000.0, 123.456, -123456789.125, 65535.99999, 0.099999999999999999);

  IntTexts: array[0..33] of string = (
    '0', '12', ' 12', '   -12', '+12', '12 ', '1 2', '', ' ', '-', '+',
    '2147483647', '2147483648', '-2147483648', '-2147483649', '99999999999',
    '$1F', '$1f', '0x1F', '0X1f', 'x1F', '-$10', '$FFFFFFFF', '$80000000',
    '$100000000', '$', '0x', '1e3', '12a', #9'5', '00012', '+-1', '- 1',
    '0012345678901');

var
  Seed: LongWord = 12345;

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

function Esc(const s: string): string;
var i: integer;
begin
  Result := '';
  for i := 1 to Length(s) do
    case s[i] of
      #9: Result := Result + '\t';
      '\': Result := Result + '\\';
    else
      Result := Result + s[i];
    end;
end;

procedure Emit(v: double);
var p: integer;
begin
  writeln('G'#9#9, Bits(v), #9, FloatToStr(v));
  for p := Low(Patterns) to High(Patterns) do
    writeln('F'#9, Esc(Patterns[p]), #9, Bits(v), #9, FormatFloat(Patterns[p], v));
end;

var
  i, k: integer;
  v: double;
begin
  DecimalSeparator := ',';
  ThousandSeparator := ' ';
  for i := Low(Hand) to High(Hand) do
    Emit(Hand[i]);
  { Random values over the magnitudes the station meets and beyond: a random
    mantissa of up to nine digits scaled by a power of ten. }
  for i := 1 to 240 do
  begin
    k := Integer(Rand mod 29) - 10;
    v := (Rand mod 1000000000) / 1000000000.0 * 9.99;
    while k > 0 do begin v := v * 10; Dec(k); end;
    while k < 0 do begin v := v / 10; Inc(k); end;
    if Rand mod 2 = 0 then v := -v;
    Emit(v);
  end;
  for i := Low(IntTexts) to High(IntTexts) do
    writeln('I'#9, Esc(IntTexts[i]), #9'-7'#9, StrToIntDef(IntTexts[i], -7));
end.
