{ An independent reader and writer of dBase tables for the interoperability
  tests: Free Pascal's TDbf.

    tdbf_tool dump FILE.DBF
      prints the fields and the records not deleted in the format of
      tvi-dbftool dump (tab-separated, UTF-8):
        FIELD<TAB>NAME<TAB>TYPE<TAB>WIDTH<TAB>DECIMALS
        RECORD<TAB>value<TAB>...
    tdbf_tool write-soluc LEVEL FILE.DBF
      writes a solution table as Velmaran may write it at table level 3, 4
      or 7: character, integer, numeric, logical and date fields, accents,
      an empty row and a deleted record.

  Needs the cwstring unit and a UTF-8 locale (LANG=C.UTF-8), or TDbf turns
  every letter outside ASCII into "?". }
program tdbf_tool;

{$mode objfpc}{$H+}
{$codepage utf8}

uses
  cwstring, SysUtils, DB, dbf, dbf_fields;

var
  Fmt: TFormatSettings;

{ TDbf hands over the bytes of the file as they are (Windows-1252 in the
  tables here); the dump prints UTF-8. }
function FromAnsi(const S: string): string;
var
  R: RawByteString;
begin
  R := S;
  SetCodePage(R, 1252, False);
  SetCodePage(R, CP_UTF8, True);
  Result := R;
  SetCodePage(RawByteString(Result), DefaultSystemCodePage, False);
end;

{ And stores the bytes it is given: turn the UTF-8 texts of this program
  into Windows-1252 first. }
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

function FieldText(F: TField): string;
begin
  if F.IsNull then
    Exit('');
  case F.DataType of
    ftFloat, ftCurrency, ftBCD:
      Result := FloatToStr(F.AsFloat, Fmt);
    ftSmallint, ftInteger, ftWord, ftLargeint, ftAutoInc:
      Result := IntToStr(F.AsLargeInt);
    ftBoolean:
      if F.AsBoolean then Result := 'T' else Result := 'F';
    ftDate:
      Result := FormatDateTime('yyyymmdd', F.AsDateTime);
    ftDateTime:
      Result := FormatDateTime('yyyy-mm-dd hh:nn:ss', F.AsDateTime);
  else
    Result := FromAnsi(F.AsString);
  end;
end;

procedure Dump(const FileName: string);
var
  T: TDbf;
  I: Integer;
  D: TDbfFieldDef;
  Line: string;
begin
  T := TDbf.Create(nil);
  try
    T.FilePathFull := ExtractFilePath(ExpandFileName(FileName));
    T.TableName := ExtractFileName(FileName);
    T.ReadOnly := True;
    T.Open;
    for I := 0 to T.DbfFieldDefs.Count - 1 do
    begin
      D := T.DbfFieldDefs.Items[I];
      WriteLn('FIELD'#9, D.FieldName, #9, D.NativeFieldType, #9, D.Size, #9, D.Precision);
    end;
    T.First;
    while not T.EOF do
    begin
      Line := 'RECORD';
      for I := 0 to T.FieldCount - 1 do
        Line := Line + #9 + FieldText(T.Fields[I]);
      WriteLn(Line);
      T.Next;
    end;
    T.Close;
  finally
    T.Free;
  end;
end;

procedure WriteSoluc(Level: Integer; const FileName: string);
var
  T: TDbf;

  procedure Row(const Asig, Tarea: string; Dia: Integer; Hora: Double;
    const Grupo, Prof, Aula: string; Fija: Boolean; Fecha: TDateTime);
  begin
    T.Append;
    T.FieldByName('ASIG').AsString := ToAnsi(Asig);
    T.FieldByName('TAREA').AsString := ToAnsi(Tarea);
    T.FieldByName('DIA').AsInteger := Dia;
    T.FieldByName('HORA').AsFloat := Hora;
    T.FieldByName('CODGRUPO').AsString := ToAnsi(Grupo);
    T.FieldByName('PROF').AsString := ToAnsi(Prof);
    T.FieldByName('AULA').AsString := ToAnsi(Aula);
    T.FieldByName('FIJA').AsBoolean := Fija;
    T.FieldByName('FECHA').AsDateTime := Fecha;
    T.FieldByName('NOTA').AsString := ToAnsi('Sessió de dilluns amb l·l i ñ');
    T.Post;
  end;

begin
  T := TDbf.Create(nil);
  try
    T.FilePathFull := ExtractFilePath(ExpandFileName(FileName));
    T.TableName := ExtractFileName(FileName);
    T.TableLevel := Level;
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
    Row('MAT', 'MAT', 1, 3, '1ESA', 'JGà', 'A1', True, EncodeDate(2024, 9, 9));
    Row('GUàR', 'GUàR', 5, 10, '', 'MÑ', '', False, EncodeDate(2025, 1, 31));
    Row('BORR', 'BORR', 2, 4, '2BAC', 'XX', 'B2', True, EncodeDate(2024, 12, 31));
    Row('VAL', 'VAL', -3, 2.5, '4ESO', 'ÇÜ', 'L·L', False, EncodeDate(1999, 2, 28));
    T.Append;
    T.Post;  { a row with every field left empty }
    { Delete the third row. }
    T.First;
    T.Next;
    T.Next;
    T.Delete;
    T.Close;
  finally
    T.Free;
  end;
end;

begin
  Fmt := DefaultFormatSettings;
  Fmt.DecimalSeparator := '.';
  if (ParamCount = 2) and (ParamStr(1) = 'dump') then
    Dump(ParamStr(2))
  else if (ParamCount = 3) and (ParamStr(1) = 'write-soluc') then
    WriteSoluc(StrToInt(ParamStr(2)), ParamStr(3))
  else
  begin
    WriteLn(StdErr, 'uso: tdbf_tool dump FILE | tdbf_tool write-soluc LEVEL FILE');
    Halt(2);
  end;
end.
