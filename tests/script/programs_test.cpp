// Script programs and the console output they must produce, one row per
// language feature, run through the whole engine.
#include <gtest/gtest.h>

#include "script/script_harness.h"

namespace qm::script {
namespace {

struct ProgramCase {
  const char* name;
  const char* source;
  const char* expected;
};

class ProgramTest : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramTest, PrintsExpectedOutput) {
  const auto run = testing::RunScript(GetParam().source);
  ASSERT_TRUE(run.compiled) << run.messages;
  ASSERT_TRUE(run.ok) << run.error.message << " at " << run.error.row << ":" << run.error.col;
  EXPECT_EQ(run.out, GetParam().expected);
}

const ProgramCase kPrograms[] = {
    {"IntegerArithmeticAndPrecedence", R"(program P;
var a, b: Integer;
begin
  a := 7; b := 3;
  Writeln(IntToStr(a + b * 2));
  Writeln(IntToStr((a + b) * 2));
  Writeln(IntToStr(a div b) + ' ' + IntToStr(a mod b) + ' ' + IntToStr(-a div b));
  Writeln(IntToStr($FF) + ' ' + IntToStr(1 shl 4) + ' ' + IntToStr(256 shr 2));
  Writeln(IntToStr(6 and 3) + ' ' + IntToStr(6 or 3) + ' ' + IntToStr(6 xor 3));
  Writeln(IntToStr(MaxInt + 1));
  a := -7; b := -2147483647 - 1;
  Writeln(IntToStr(a mod 3) + ' ' + IntToStr(a mod 7) + ' ' + IntToStr(b mod 10) + ' '
          + IntToStr(2147483647 mod 1000) + ' ' + IntToStr(b div -1));
end.)",
     "13\n20\n2 1 -2\n255 16 64\n2 7 5\n-2147483648\n-1 0 -8 647 -2147483648\n"},
    // 64-bit remainders by powers of two are masks; the sign follows the dividend.
    {"Int64ModuloByPowersOfTwo", R"(program P;
var x: Int64; s: string;
procedure Show(v: Int64);
begin
  s := s + IntToStr(v) + ' ';
end;
begin
  x := -5;
  Show(x mod 4); Show(x mod 2147483648); Show(x mod 1);
  x := 4294967301;
  Show(x mod 4294967296); Show(-x mod 4294967296); Show(x mod 2147483648);
  x := -9223372036854775807 - 1;
  Show(x mod 4611686018427387904); Show((x + 1) mod 4611686018427387904);
  x := 12345;
  x := x * 1103515245 + 12345;
  Show(x mod 2147483648);
  Writeln(s);
end.)",
     "-1 -5 0 5 -5 5 0 -4611686018427387903 1406932606 \n"},
    {"IntegerTypesTruncateOnStore", R"(program P;
var b: Byte; w: Word; s: ShortInt; c: Cardinal; big: Int64;
begin
  b := 250; b := b + 10; Writeln(IntToStr(b));
  w := 65535; Inc(w); Writeln(IntToStr(w));
  s := 127; s := s + 1; Writeln(IntToStr(s));
  c := 0; Dec(c); Writeln(IntToStr(c));
  big := 3000000000; big := big * 3; Writeln(IntToStr(big));
end.)",
     "4\n0\n-128\n4294967295\n9000000000\n"},
    {"RealsAndConversions", R"(program P;
var x: Double; i: Integer; s: Single;
begin
  i := 3;
  x := i / 2;
  Writeln(FloatToStr(x));
  x := x + i;
  Writeln(FloatToStr(x));
  Writeln(IntToStr(Round(2.5)) + ' ' + IntToStr(Round(3.7)) + ' ' + IntToStr(Trunc(-3.7)));
  Writeln(FloatToStr(Int(3.75)) + ' ' + FloatToStr(Frac(3.75)));
  Writeln(FloatToStr(Sqrt(16)) + ' ' + FloatToStr(Sqr(1.5)) + ' ' + IntToStr(Sqr(4)));
  Writeln(FloatToStr(Abs(-2.5)) + ' ' + IntToStr(Abs(-7)));
  Writeln(FloatToStr(Power(2, 10)) + ' ' + FloatToStr(Exp(0)) + ' ' + FloatToStr(Ln(1)));
  Writeln(Format('%.4f %.3f %.1f', [Pi, Sin(0) + Cos(0), ArcTan(1) * 4]));
  s := 0.1;
  Writeln(Format('%.10f', [s]));
  Writeln(FloatToStr(StrToFloat('1.5e3')));
end.)",
     "1.5\n4.5\n2 4 -3\n3 0.75\n4 2.25 16\n2.5 7\n1024 1 0\n3.1416 1.000 "
     "3.1\n0.1000000015\n1500\n"},
    {"BooleansEvaluateBothSides", R"(program P;
var calls: Integer; b: Boolean;
function Side(v: Boolean): Boolean;
begin
  calls := calls + 1;
  Result := v;
end;
begin
  calls := 0;
  b := Side(False) and Side(True);
  Writeln(IntToStr(calls));
  b := Side(True) or Side(False);
  Writeln(IntToStr(calls));
  if b and not False then Writeln('yes');
  b := True xor True;
  if not b then Writeln('xor');
  Writeln(BoolToStr(3 < 4) + ' ' + BoolToStr('abc' < 'abd') + ' ' + BoolToStr(2.5 >= 3));
end.)",
     "2\n4\nyes\nxor\nTrue True False\n"},
    {"StringsAndCharacters", R"(program P;
var s, t: string; c: Char; i: Integer;
begin
  s := 'Hello';
  c := s[1];
  t := s;
  t[1] := 'J';
  Writeln(s + ' ' + t + ' ' + c);
  s := s + ', ' + 'World' + #33;
  Writeln(s + ' ' + IntToStr(Length(s)));
  Writeln(Copy(s, 1, 4) + '|' + Copy(s, 8, 100) + '|' + IntToStr(Pos('World', s)));
  t := s;
  Delete(t, 1, 7);
  Insert('>>', t, 1);
  Writeln(t);
  Writeln(UpperCase('abc') + LowerCase('DEF') + '[' + Trim('  x  ') + ']['
          + TrimLeft('  y ') + '][' + TrimRight(' z  ') + ']');
  Writeln(StringOfChar('-', 5) + Chr(65) + IntToStr(Ord('a')));
  s := '';
  for i := 1 to 3 do s := s + Chr(Ord('a') + i - 1);
  Writeln(s + ' ' + IntToHex(255, 4) + ' ' + IntToStr(StrToInt('-42')) + ' '
          + IntToStr(StrToIntDef('x', 7)));
  SetLength(s, 2);
  Writeln(s + IntToStr(Length(s)));
  Writeln(BoolToStr('it''s' + #10#13 = 'it''s'#10#13));
end.)",
     "Hello Jello H\nHello, World! 13\nHell|World!|8\n>>World!\nABCdef[x][y ][ z]\n-----A97\nabc "
     "00FF -42 7\nab2\nTrue\n"},
    {"Format", R"(program P;
begin
  Writeln(Format('%d|%5d|%-5d|%x|%s|%8.3f|%.0f|%%', [42, 7, 7, 255, 'txt', 3.14159, 2.5]));
  Writeln(Format('%s and %s', ['a', 'b']));
end.)",
     "42|    7|7    |FF|txt|   3.142|2|%\na and b\n"},
    {"CaseOnOrdinalsAndStrings", R"(program P;
var i: Integer; s: string;
begin
  for i := 0 to 6 do
    case i of
      0: Writeln('zero');
      1, 2: Writeln('small');
      3..5: Writeln('mid');
    else
      Writeln('big');
    end;
  s := 'beta';
  case s of
    'alpha': Writeln('A');
    'beta': Writeln('B');
  else Writeln('?');
  end;
  case 'x' of 'a'..'m': Writeln('first'); 'n'..'z': Writeln('second'); end;
end.)",
     "zero\nsmall\nsmall\nmid\nmid\nmid\nbig\nB\nsecond\n"},
    {"Loops", R"(program P;
var i, j, n: Integer;
begin
  n := 0;
  for i := 10 downto 1 do n := n + i;
  Writeln(IntToStr(n));
  i := 0;
  while i < 5 do begin
    i := i + 1;
    if i = 2 then continue;
    if i = 4 then break;
    Writeln('w' + IntToStr(i));
  end;
  j := 0;
  repeat
    j := j + 3;
  until j > 10;
  Writeln(IntToStr(j));
  for i := 1 to 3 do
    for j := 1 to 3 do begin
      if j = 2 then break;
      Writeln(IntToStr(i) + IntToStr(j));
    end;
  for i := 5 to 1 do Writeln('never');
end.)",
     "55\nw1\nw3\n12\n11\n21\n31\n"},
    {"EnumerationsSubrangesAndSets", R"(program P;
type
  TColor = (Red, Green, Blue);
  TDigit = 0..9;
  TColors = set of TColor;
var c: TColor; d: TDigit; cs: TColors; chars: set of Char; n: Integer;
begin
  c := Green;
  Writeln(IntToStr(Ord(c)) + ' ' + IntToStr(Ord(Succ(c))) + ' ' + IntToStr(Ord(Pred(c))));
  d := 9;
  Writeln(IntToStr(d) + ' ' + IntToStr(Low(TDigit)) + ' ' + IntToStr(High(TDigit)));
  cs := [Red, Blue];
  if Blue in cs then Writeln('blue in');
  if not (Green in cs) then Writeln('green out');
  Include(cs, Green);
  Exclude(cs, Red);
  n := 0;
  for c := Red to Blue do if c in cs then n := n + 1;
  Writeln(IntToStr(n));
  chars := ['a'..'f', 'x'];
  if ('c' in chars) and ('x' in chars) and not ('g' in chars) then Writeln('chars');
  if [Red] + [Blue] = [Blue, Red] then Writeln('equal');
  if [Red] <= [Red, Green] then Writeln('subset');
  if (cs * [Blue]) = [Blue] then Writeln('inter');
  if (cs - [Blue]) = [Green] then Writeln('diff');
end.)",
     "1 2 0\n9 0 9\nblue in\ngreen out\n2\nchars\nequal\nsubset\ninter\ndiff\n"},
    {"StaticArraysAnyRangeAndDimensions", R"(program P;
var a: array[1..5] of Integer; g: array[0..2, -1..1] of Integer;
    letters: array['a'..'c'] of Integer; i, j, s: Integer; b: array[1..5] of Integer;
begin
  for i := Low(a) to High(a) do a[i] := i * i;
  b := a;
  b[1] := 100;
  Writeln(IntToStr(a[1]) + ' ' + IntToStr(b[1]) + ' ' + IntToStr(Length(a)));
  for i := 0 to 2 do for j := -1 to 1 do g[i, j] := i * 10 + j;
  Writeln(IntToStr(g[2, -1]) + ' ' + IntToStr(g[1][1]));
  letters['b'] := 5;
  Writeln(IntToStr(letters['b']));
  s := 0;
  for i := 1 to 5 do s := s + a[i];
  Writeln(IntToStr(s));
end.)",
     "1 100 5\n19 11\n5\n55\n"},
    {"DynamicArraysAndOpenArrays", R"(program P;
var d, e: array of Integer; i: Integer; names: array of string;
function Sum(const v: array of Integer): Integer;
var k: Integer;
begin
  Result := 0;
  for k := Low(v) to High(v) do Result := Result + v[k];
end;
begin
  SetLength(d, 4);
  for i := 0 to High(d) do d[i] := i + 1;
  Writeln(IntToStr(Length(d)) + ' ' + IntToStr(Sum(d)) + ' ' + IntToStr(Sum([10, 20, 30])));
  e := d;
  e[0] := 99;
  Writeln(IntToStr(d[0]));
  SetLength(d, 6);
  Writeln(IntToStr(d[5]) + ' ' + IntToStr(d[3]));
  SetLength(names, 2);
  names[1] := 'two';
  Writeln('[' + names[0] + '][' + names[1] + ']');
  SetLength(d, 0);
  Writeln(IntToStr(Length(d)));
end.)",
     "4 10 60\n99\n0 4\n[][two]\n0\n"},
    {"RecordsWithValueSemanticsAndWith", R"(program P;
type
  TPoint = record x, y: Integer; end;
  TLine = record a, b: TPoint; name: string; end;
var p, q: TPoint; l: TLine; pts: array[1..2] of TPoint;
procedure Move(var pt: TPoint; dx: Integer);
begin
  pt.x := pt.x + dx;
end;
function Make(x, y: Integer): TPoint;
begin
  Result.x := x;
  Result.y := y;
end;
begin
  p.x := 1; p.y := 2;
  q := p;
  q.x := 10;
  Move(p, 5);
  Writeln(IntToStr(p.x) + ' ' + IntToStr(q.x));
  l.a := Make(3, 4);
  l.b := l.a;
  l.b.y := 40;
  l.name := 'line';
  with l do Writeln(name + IntToStr(a.y) + IntToStr(b.y));
  with l.a do begin x := 7; end;
  Writeln(IntToStr(l.a.x));
  pts[2] := Make(8, 9);
  Move(pts[2], 1);
  Writeln(IntToStr(pts[2].x) + IntToStr(pts[2].y));
end.)",
     "6 10\nline440\n7\n99\n"},
    {"ParametersVarConstOut", R"(program P;
var a, b: Integer; s: string;
procedure Swap(var x, y: Integer);
var t: Integer;
begin
  t := x; x := y; y := t;
end;
procedure Fill(out v: string; const prefix: string);
begin
  v := prefix + '!';
end;
procedure NoEffect(v: Integer);
begin
  v := 100;
end;
begin
  a := 1; b := 2;
  Swap(a, b);
  NoEffect(a);
  Fill(s, 'hi');
  Writeln(IntToStr(a) + IntToStr(b) + s);
end.)",
     "21hi!\n"},
    {"FunctionsResultNameForwardNested", R"(program P;
function IsEven(n: Integer): Boolean; forward;
function IsOdd(n: Integer): Boolean;
begin
  if n = 0 then IsOdd := False else IsOdd := IsEven(n - 1);
end;
function IsEven(n: Integer): Boolean;
begin
  if n = 0 then Result := True else Result := IsOdd(n - 1);
end;
function Outer(n: Integer): Integer;
var acc: Integer;
  procedure Add(k: Integer);
  begin
    acc := acc + k * n;
  end;
begin
  acc := 0;
  Add(1); Add(2);
  Result := acc;
end;
function Fact(n: Integer): Int64;
begin
  if n <= 1 then Result := 1 else Result := n * Fact(n - 1);
end;
begin
  Writeln(BoolToStr(IsEven(10)) + ' ' + BoolToStr(IsOdd(7)));
  Writeln(IntToStr(Outer(10)));
  Writeln(IntToStr(Fact(20)));
end.)",
     "True True\n30\n2432902008176640000\n"},
    {"ConstantsTypedAndUntyped", R"(program P;
const
  N = 5;
  M = N * 2 + 1;
  Greeting = 'Hi';
  Ratio: Double = 0.5;
  Primes: array[0..3] of Integer = (2, 3, 5, 7);
var a: array[1..N] of Integer;
begin
  Writeln(IntToStr(M) + ' ' + Greeting + ' ' + FloatToStr(Ratio) + ' ' + IntToStr(Length(a)));
  Writeln(IntToStr(Primes[2] + Primes[3]));
end.)",
     "11 Hi 0.5 5\n12\n"},
    {"ExceptionsRaisedByScripts", R"(program P;
var i: Integer;
begin
  try
    raise Exception.Create('boom');
  except
    on E: Exception do Writeln('caught ' + E.Message);
  end;
  try
    i := 0;
    i := 10 div i;
  except
    Writeln('division');
  end;
  try
    try
      raise Exception.Create('inner');
    finally
      Writeln('finally runs');
    end;
  except
    on E: Exception do Writeln('outer got ' + E.Message);
  end;
  try
    try
      raise Exception.Create('again');
    except
      on E: Exception do begin Writeln('first'); raise; end;
    end;
  except
    on E: Exception do Writeln('re-raised ' + E.Message);
  end;
end.)",
     "caught boom\ndivision\nfinally runs\nouter got inner\nfirst\nre-raised again\n"},
    {"FinallyRunsOnExitBreakAndContinue", R"(program P;
var i: Integer;
function F: Integer;
begin
  Result := 1;
  try
    Result := 2;
    Exit;
    Result := 3;
  finally
    Writeln('finally in F');
  end;
end;
begin
  Writeln(IntToStr(F));
  for i := 1 to 3 do begin
    try
      if i = 1 then continue;
      if i = 2 then break;
    finally
      Writeln('f' + IntToStr(i));
    end;
  end;
  Writeln('after ' + IntToStr(i));
end.)",
     "finally in F\n2\nf1\nf2\nafter 2\n"},
    {"StringListClass", R"(program P;
var sl: TStringList; i: Integer;
begin
  sl := TStringList.Create;
  try
    sl.Add('pear'); sl.Add('apple'); sl.Add('fig');
    sl.Insert(0, 'kiwi');
    sl.Delete(1);
    Writeln(IntToStr(sl.Count) + ' ' + sl[0] + ' ' + sl.Strings[2]);
    sl.Sort;
    for i := 0 to sl.Count - 1 do Writeln(sl[i]);
    Writeln(IntToStr(sl.IndexOf('kiwi')) + ' ' + IntToStr(sl.IndexOf('none')));
    sl[0] := 'APPLE';
    sl.Text := 'a' + #13#10 + 'b';
    Writeln(IntToStr(sl.Count) + sl[1]);
    sl.Clear;
    sl.Sorted := True;
    sl.Add('z'); sl.Add('m');
    Writeln(sl[0] + sl[1]);
  finally
    sl.Free;
  end;
end.)",
     "3 kiwi fig\napple\nfig\nkiwi\n2 -1\n2b\nmz\n"},
    {"PreprocessorDefines", R"(program P;
{$DEFINE FAST}
begin
{$IFDEF FAST}
  Writeln('fast');
{$ELSE}
  Writeln('slow');
{$ENDIF}
{$IFNDEF FAST}
  Writeln('not fast');
{$ENDIF}
{$IFDEF MISSING} Writeln('never'); {$ENDIF}
end.)",
     "fast\n"},
    {"CommentsAllKinds", R"(program P; { brace }
(* paren
   star *)
// line comment
begin
  Writeln('ok'); // trailing
end.)",
     "ok\n"},
    {"TypeCastsAndOrdinals", R"(program P;
type TDay = (Mon, Tue, Wed);
var d: TDay; c: Char;
begin
  d := TDay(2);
  c := Char(66);
  Writeln(IntToStr(Ord(d)) + c + IntToStr(Integer('A')) + IntToStr(Byte(300)));
  Writeln(BoolToStr(Odd(3)) + BoolToStr(Odd(4)));
  Writeln(IntToStr(Min(3, 8)) + IntToStr(Max(3, 8)) + FloatToStr(Max(1.5, 2)));
end.)",
     "2B6544\nTrueFalse\n382\n"},
    {"DateRoutines", R"(program P;
var d: TDateTime;
begin
  d := 45000.5;
  Writeln(FormatDateTime('yyyy-mm-dd hh:nn:ss', d));
  Writeln(DateToStr(d) + ' ' + TimeToStr(d));
  if Now > 45000 then Writeln('now');
  if (Date <= Now) and (Time < 1) then Writeln('date');
end.)",
     "2023-03-15 12:00:00\n2023-03-15 12:00:00\nnow\ndate\n"},
    {"AssignedAndNil", R"(program P;
var sl: TStringList; a: array of Integer;
begin
  sl := nil;
  Writeln(BoolToStr(Assigned(sl)) + BoolToStr(Assigned(a)));
  sl := TStringList.Create;
  SetLength(a, 1);
  Writeln(BoolToStr(Assigned(sl)) + BoolToStr(Assigned(a)) + BoolToStr(sl <> nil));
  sl.Free;
end.)",
     "FalseFalse\nTrueTrueTrue\n"},
    // Comparisons that decide a branch run as one compare-and-jump; these are
    // the values where a 32-bit or unsigned compare, or a wrong inversion for
    // the false branch, would go the other way.
    {"BranchesOnComparisonsAtTheEdges", R"(program P;
var a, b: Int64; i: Integer; c: Cardinal; ch: Char; s: string;
begin
  a := 5000000000; b := 705032704;  { equal in their low 32 bits }
  if a = b then s := s + '-' else s := s + 'a';
  if a <> b then s := s + 'b' else s := s + '-';
  if b < a then s := s + 'c' else s := s + '-';
  if a <= b then s := s + '-' else s := s + 'd';
  if a > 4999999999 then s := s + 'e' else s := s + '-';
  if -a >= -4999999999 then s := s + '-' else s := s + 'f';
  i := -3;
  if i < -2 then s := s + 'g';
  if i <= -4 then s := s + '-';
  if i >= -3 then s := s + 'h';
  if i > -3 then s := s + '-';
  if i = -3 then s := s + 'i';
  if i <> -3 then s := s + '-' else s := s + 'j';
  i := -2147483647 - 1;
  if i < 2147483647 then s := s + 'k';
  if i > 0 then s := s + '-';
  c := 4000000000;
  if c > 2000000000 then s := s + 'l';
  if c < 0 then s := s + '-';
  ch := 'q';
  if ch > 'p' then s := s + 'm';
  if not (ch = 'q') then s := s + '-' else s := s + 'n';
  if (i < 0) and (c > 0) then s := s + 'o';
  Writeln(s);
end.)",
     "abcdefghijklmno\n"},
    // While loops test their condition at the bottom of each turn.
    {"WhileLoopsBreakContinueAndConditionCalls", R"(program P;
var i, n, calls: Integer; s: string; more: Boolean;
function Below(x, limit: Integer): Boolean;
begin
  calls := calls + 1;
  Result := x < limit;
end;
begin
  i := 0;
  while Below(i, 5) do i := i + 1;
  Writeln(IntToStr(i) + ' ' + IntToStr(calls));
  calls := 0;
  while Below(i, 0) do i := i + 100;
  Writeln(IntToStr(i) + ' ' + IntToStr(calls));
  i := 0; s := '';
  while i < 10 do
  begin
    i := i + 1;
    if i mod 2 = 0 then Continue;
    if i > 7 then Break;
    s := s + IntToStr(i);
  end;
  Writeln(s + ' ' + IntToStr(i));
  more := True; n := 0;
  while more do
  begin
    n := n + 1;
    more := n < 3;
  end;
  i := 0;
  while (i < 4) and (n > 0) do
  begin
    i := i + 1;
    n := n - 1;
  end;
  Writeln(IntToStr(n) + ' ' + IntToStr(i));
  i := 3;
  while i >= -2 do i := i - 2;
  Writeln(IntToStr(i));
end.)",
     "5 6\n5 1\n1357 9\n0 3\n-3\n"},
    {"RepeatCaseAndForDecideTheirJumps", R"(program P;
var i, n: Integer; s: string; big: Int64;
begin
  n := 0;
  repeat n := n + 3 until n >= 10;
  s := IntToStr(n);
  for i := -2 to 12 do
    case i of
      -2: s := s + 'm';
      0, 5: s := s + 'z';
      7..9: s := s + 'r';
      12: s := s + 'e';
    else
      s := s + '.';
    end;
  Writeln(s);
  big := 4294967297;
  case big of
    1: Writeln('low bits only');
    4294967297: Writeln('big');
  end;
  n := 0;
  for i := 5 to 4 do n := n + 1;
  for i := 4 downto 5 do n := n + 1;
  for i := 5 to 5 do n := n + 10;
  for i := 3 downto 1 do n := n + i;
  Writeln(IntToStr(n));
end.)",
     "12m.z....z.rrr..e\nbig\n16\n"},
    // Jumps that end at a return or another jump go straight there.
    {"BranchesThatLeaveARoutine", R"(program P;
var i: Integer; s: string;
function Sign(x: Integer): Integer;
begin
  if x < 0 then
    Result := -1
  else if x = 0 then
    Result := 0
  else
    Result := 1;
end;
function FirstOver(limit: Integer): Integer;
var k: Integer;
begin
  Result := -1;
  for k := 1 to 100 do
    if k * k > limit then
    begin
      Result := k;
      Exit;
    end;
end;
begin
  s := '';
  for i := -1 to 1 do s := s + IntToStr(Sign(i)) + ' ';
  Writeln(s + IntToStr(FirstOver(50)) + ' ' + IntToStr(FirstOver(100000)));
end.)",
     "-1 0 1 8 -1\n"},
    // Strings, arrays, records and exceptions in a routine's temporaries and
    // locals, released when it returns or an error leaves it (a leak shows in
    // the sanitizer build).
    {"CountedValuesInRoutineSlots", R"(program P;
type TR = record s: string; n: Integer; end;
var k: Integer; keep: string;
function Mix(a, b: Integer; const t: string): string;
var r: TR; arr: array of string;
begin
  r.s := t + IntToStr(a);
  SetLength(arr, 2);
  arr[0] := Copy(r.s, 1, 2) + IntToStr(b);
  arr[1] := arr[0] + r.s;
  Result := arr[1] + IntToStr(Length(arr[0] + arr[1] + IntToStr(a * b)));
end;
function Safe(a: Integer): string;
begin
  try
    Result := Mix(a, 10 div a, 'x');
  except
    on E: Exception do Result := 'err' + IntToStr(a) + E.Message;
  end;
end;
begin
  for k := -2 to 2 do keep := keep + Safe(k) + ';';
  Writeln(keep);
end.)",
     "x--5x-213;x--10x-115;err0Division by zero;x110x112;x25x210;\n"},
};

INSTANTIATE_TEST_SUITE_P(Language, ProgramTest, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<ProgramCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace qm::script
