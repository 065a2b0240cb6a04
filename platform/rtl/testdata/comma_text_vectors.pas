{ Writes comma_text.tsv: how Free Pascal's TStringList (compiled with
  -Mdelphi, the Delphi-compatible mode) writes and reads comma text and
  splits Text into lines. It is the independent reference for rtl::StringList.

  Build and run from this folder:
    fpc -Mdelphi -FE/tmp comma_text_vectors.pas && /tmp/comma_text_vectors > comma_text.tsv

  Every text is written as "x" followed by its bytes in hex, so that blanks,
  quotes, control characters and UTF-8 survive the file. Lines:
    W <entries...> = <comma text>      the CommaText of a list
    R <comma text> = <entries...>      the list read back from a comma text
    T <text> = <entries...>            the list read back from a Text
  Cases are given in hex too, so that the compiler never re-encodes them. }
program comma_text_vectors;

{$mode delphi}{$H+}

uses
  Classes, SysUtils;

function Unhex(const h: string): RawByteString;
var
  i: Integer;
begin
  Result := '';
  i := 1;
  while i < Length(h) do
  begin
    Result := Result + Chr(StrToInt('$' + Copy(h, i, 2)));
    Inc(i, 2);
  end;
end;

function Hex(const s: RawByteString): string;
var
  i: Integer;
begin
  Result := 'x';
  for i := 1 to Length(s) do
    Result := Result + IntToHex(Ord(s[i]), 2);
end;

procedure Entries(L: TStringList);
var
  i: Integer;
begin
  for i := 0 to L.Count - 1 do
    Write(' ', Hex(L[i]));
end;

{ A list given as hex entries separated by '|' (an empty list as '-', a list
  of one empty entry as ''). }
procedure WriteCase(const given: string);
var
  L, Fields: TStringList;
  i: Integer;
begin
  L := TStringList.Create;
  Fields := TStringList.Create;
  try
    if given = '' then
      L.Add('')
    else if given <> '-' then
    begin
      Fields.StrictDelimiter := True;
      Fields.Delimiter := '|';
      Fields.DelimitedText := given;
      for i := 0 to Fields.Count - 1 do
        L.Add(Unhex(Fields[i]));
    end;
    Write('W');
    Entries(L);
    WriteLn(' = ', Hex(L.CommaText));
  finally
    Fields.Free;
    L.Free;
  end;
end;

procedure ReadCase(const h: string);
var
  L: TStringList;
begin
  L := TStringList.Create;
  try
    L.CommaText := Unhex(h);
    Write('R ', Hex(Unhex(h)), ' =');
    Entries(L);
    WriteLn;
  finally
    L.Free;
  end;
end;

procedure TextCase(const h: string);
var
  L: TStringList;
begin
  L := TStringList.Create;
  try
    L.Text := Unhex(h);
    Write('T ', Hex(Unhex(h)), ' =');
    Entries(L);
    WriteLn;
  finally
    L.Free;
  end;
end;

function H(const s: RawByteString): string;
begin
  Result := Copy(Hex(s), 2, MaxInt);
end;

const
  Privet = #$D0#$9F#$D1#$80#$D0#$B8#$D0#$B2#$D0#$B5#$D1#$82;  { UTF-8 "Привет" }
  Mir = #$D0#$BC#$D0#$B8#$D1#$80;                                { UTF-8 "мир" }

begin
  { Writing }
  WriteCase('-');
  WriteCase(H('a') + '|' + H('b'));
  WriteCase(H(''));
  WriteCase(H('') + '|' + H(''));
  WriteCase(H('a') + '|' + H(''));
  WriteCase(H('') + '|' + H('a'));
  WriteCase(H('a b'));
  WriteCase(H('a,b'));
  WriteCase(H('a"b'));
  WriteCase(H('"q"'));
  WriteCase(H(' lead'));
  WriteCase(H('trail '));
  WriteCase(H('tab'#9'here'));
  WriteCase(H('x'#1'y'));
  WriteCase(H('''apos'''));
  WriteCase(H('semi;colon'));
  WriteCase(H('name=value'));
  WriteCase(H('name=value with blank'));
  WriteCase(H('12,5') + '|' + H('7') + '|' + H('-0,25'));
  WriteCase(H(Privet) + '|' + H(Privet + ' ' + Mir));
  WriteCase(H(#$C2#$A0'nbsp'));
  WriteCase(H('a'#13#10'b'));
  WriteCase(H('""'));

  { Reading }
  ReadCase(H(''));
  ReadCase(H('   '));
  ReadCase(H('a,b'));
  ReadCase(H('a b'));
  ReadCase(H(' a , b '));
  ReadCase(H('a,,b'));
  ReadCase(H('a, ,b'));
  ReadCase(H(',a'));
  ReadCase(H('a,'));
  ReadCase(H('a, '));
  ReadCase(H('a ,'));
  ReadCase(H(','));
  ReadCase(H(',,'));
  ReadCase(H('"a b",c'));
  ReadCase(H('"a""b"'));
  ReadCase(H('""""'));
  ReadCase(H('""'));
  ReadCase(H('"",""'));
  ReadCase(H('"abc'));
  ReadCase(H('"ab"cd'));
  ReadCase(H('"ab" cd'));
  ReadCase(H('a"b'));
  ReadCase(H('a"b c"d'));
  ReadCase(H('a'#9'b'));
  ReadCase(H('x,"y,z"'));
  ReadCase(H('"a" ,b'));
  ReadCase(H('"a",,b'));
  ReadCase(H('"12,5",7,"-0,25"'));
  ReadCase(H(Privet + ',' + Mir));
  ReadCase(H('"' + Privet + ' ' + Mir + '"'));
  ReadCase(H(#$C2#$A0'a'));
  ReadCase(H('a'#13#10'b'));
  ReadCase(H('name=value,other=2'));

  { Text }
  TextCase(H(''));
  TextCase(H('a'));
  TextCase(H('a'#13#10'b'#13#10));
  TextCase(H('a'#10'b'));
  TextCase(H('a'#13'b'));
  TextCase(H('a'#10#13'b'));
  TextCase(H('a'#13#13'b'#10));
  TextCase(H(#13#10));
  TextCase(H(#13#10#13#10));
  TextCase(H('a'#10#10));
  TextCase(H(' a '#9#13#10' b'));
  TextCase(H(Privet + #13#10 + Mir));
end.
