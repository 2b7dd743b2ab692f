{ Writes Velmaran's solution table SOLUC with Free Pascal's TDbf at table
  level 7, as Velmaran's own engine writes it, from the listing the solver
  stand-in prints (UTF-8, tab-separated, a header line first):

    soluc_tdbf LISTING FILE.DBF

  Besides the seven fields the export reads, the table carries fields of
  Velmaran's own (a date, a logical, a note with accents), and its first
  record is deleted: the export must never see it.

  Needs the cwstring unit and a UTF-8 locale (LANG=C.UTF-8). }
program soluc_tdbf;

{$mode objfpc}{$H+}
{$codepage utf8}

uses
  cwstring, SysUtils, Classes, DB, dbf;

{ TDbf stores the bytes it is given: the tables hold Windows-1252. }
function ToAnsi(const S: string): string;
var
  R: RawByteString;
begin
  R := S;
  SetCodePage(R, CP_UTF8, False);
  SetCodePage(R, 1252, True);
  SetCodePage(R, DefaultSystemCodePage, False);
  Result := R;
end;

procedure Split(const Line: string; Parts: TStrings);
var
  I, Start: Integer;
begin
  Parts.Clear;
  Start := 1;
  for I := 1 to Length(Line) + 1 do
    if (I > Length(Line)) or (Line[I] = #9) then
    begin
      Parts.Add(Copy(Line, Start, I - Start));
      Start := I + 1;
    end;
end;

var
  T: TDbf;
  Lines, Parts: TStringList;
  I: Integer;
  Fmt: TFormatSettings;

procedure Row(Parts: TStrings);
begin
  T.Append;
  T.FieldByName('ASIG').AsString := ToAnsi(Parts[0]);
  T.FieldByName('TAREA').AsString := ToAnsi(Parts[1]);
  T.FieldByName('DIA').AsInteger := StrToInt(Parts[2]);
  T.FieldByName('HORA').AsFloat := StrToFloat(Parts[3], Fmt);
  T.FieldByName('CODGRUPO').AsString := ToAnsi(Parts[4]);
  T.FieldByName('PROF').AsString := ToAnsi(Parts[5]);
  T.FieldByName('AULA').AsString := ToAnsi(Parts[6]);
  T.FieldByName('FIJA').AsBoolean := False;
  T.FieldByName('FECHA').AsDateTime := EncodeDate(2025, 9, 8);
  T.FieldByName('NOTA').AsString := ToAnsi('Sessió resolta per Velmaran');
  T.Post;
end;

begin
  if ParamCount <> 2 then
  begin
    WriteLn(StdErr, 'Uso: soluc_tdbf LISTADO FICHERO.DBF');
    Halt(2);
  end;
  Fmt := DefaultFormatSettings;
  Fmt.DecimalSeparator := '.';
  Lines := TStringList.Create;
  Parts := TStringList.Create;
  T := TDbf.Create(nil);
  try
    Lines.LoadFromFile(ParamStr(1));
    T.FilePathFull := ExtractFilePath(ExpandFileName(ParamStr(2)));
    T.TableName := ExtractFileName(ParamStr(2));
    T.TableLevel := 7;
    T.Exclusive := True;
    T.FieldDefs.Clear;
    T.FieldDefs.Add('ASIG', ftString, 4, False);
    T.FieldDefs.Add('TAREA', ftString, 4, False);
    T.FieldDefs.Add('DIA', ftInteger, 0, False);
    T.FieldDefs.Add('HORA', ftFloat, 0, False);
    T.FieldDefs.Add('CODGRUPO', ftString, 4, False);
    T.FieldDefs.Add('PROF', ftString, 4, False);
    T.FieldDefs.Add('AULA', ftString, 4, False);
    T.FieldDefs.Add('FIJA', ftBoolean, 0, False);
    T.FieldDefs.Add('FECHA', ftDate, 0, False);
    T.FieldDefs.Add('NOTA', ftString, 40, False);
    T.CreateTable;
    T.Open;
    { A copy of the first row, deleted. }
    if Lines.Count > 1 then
    begin
      Split(Lines[1], Parts);
      Row(Parts);
      T.Delete;
    end;
    for I := 1 to Lines.Count - 1 do
      if Lines[I] <> '' then
      begin
        Split(Lines[I], Parts);
        Row(Parts);
      end;
    T.Close;
  finally
    T.Free;
    Parts.Free;
    Lines.Free;
  end;
end.
