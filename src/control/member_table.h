// The control's public interface, one row a member, in the slot order of
// `_Quorvel2000`. Everything else that names the members is made from this
// list: the interface description (interface_description.cpp), the
// late-bound path (dispatch.cpp), the saved property set (persistence.cpp)
// and the Qt widget's accessors and method bodies (qt/quorvel_widget.*).
//
// Adding a property takes a row here and the property itself: its getter
// Name() and setter setName() in Quorvel2000, of the C++ type the row's
// type gives (dispatch.cpp checks it). The Qt widget also needs its
// Q_PROPERTY line, which moc must read spelled out; a test of the widget
// compares those lines with this list.
//
// QUORVEL_MEMBERS(X) calls, for each member in slot order,
//
//   X(Kind, Name, Dispid, Type, Access, Arguments, Flags, Saved, Description)
//
//   Kind         Method or Property.
//   Name         the member's name: Quorvel2000's function Name(), or its
//                getter Name() and setter setName().
//   Dispid       the dispatch identifier.
//   Type         a property's value, a method's result: an idl::ValueType.
//   Access       Get (read only), GetLet (assigned a value) or GetSet
//                (assigned an object reference); None for a method.
//   Arguments    NoArguments; ByReference(name), a Variant the member may
//                change; Optional(name), a Variant by value that a caller
//                may leave out.
//   Flags        idl::MemberFlag bits; read-only comes from Access.
//   Saved        NotSaved, or Saved(N, DEFAULT): the property set holds the
//                value under the member's name, written N-th, and not at
//                all when it equals DEFAULT (a value of the member's type,
//                or kAmbientFont: the container's font at that moment).
//                Loading has steps of its own (persistence.cpp), in an
//                order of its own, and asks for the same defaults.
//   Description  the text a property browser shows, as the control has
//                always shipped it (Italian, UTF-8).
//
// Slots, identifiers, types, keys and defaults are part of stored forms and
// compiled clients: they never change, and a new member goes last.
#pragma once

namespace quorvel {

// The default of a font saved with the property set: the container's font
// when the set is written (it may differ from one control to the next).
inline constexpr struct AmbientFontDefault { } kAmbientFont{}; }  // namespace quorvel

// clang-format off
#define QUORVEL_MEMBERS(X) \
    X(Method, ImpostaDataControl, 0x6003008D, None, None, NoArguments, 0, NotSaved, "") \
    X(Method, ListaApri, 0x6003008E, None, None, NoArguments, 0, NotSaved, "") \
    X(Method, AssettaGrid, 0x6003008F, None, None, NoArguments, 0, NotSaved, "") \
    X(Method, AssettaGridDefault, 0x60030090, None, None, NoArguments, 0, NotSaved, "") \
    X(Property, BackColor, 0x6803008C, Colour, GetLet, NoArguments, 0, Saved(1, kSystemWindowBackground), \
      "Restituisce o imposta il colore di sfondo utilizzato per la visualizzazione di testo e grafica in un oggetto.") \
    X(Method, ListaChiudi, 0x60030091, None, None, NoArguments, 0, NotSaved, "") \
    X(Property, ForeColor, 0x6803008B, Colour, GetLet, NoArguments, 0, Saved(2, kSystemWindowText), \
      "Restituisce o imposta il colore di primo piano utilizzato per la visualizzazione di testo e grafica in un oggetto.") \
    X(Property, Font, -512, FontObject, GetSet, NoArguments, 0, Saved(5, kAmbientFont), \
      "Restituisce un oggetto Font.") \
    X(Property, BorderStyle, 0x6803008A, Integer, Get, NoArguments, 0, NotSaved, \
      "Restituisce o imposta lo stile del bordo di un oggetto.") \
    X(Property, ColsCaption, 0x68030089, String, GetLet, NoArguments, 0, Saved(6, ""), "") \
    X(Property, ColsField, 0x68030088, String, GetLet, NoArguments, 0, Saved(7, ""), "") \
    X(Property, ColsFormat, 0x68030087, String, GetLet, NoArguments, 0, Saved(8, ""), "") \
    X(Property, ColsSize, 0x68030086, String, GetLet, NoArguments, 0, Saved(9, ""), "") \
    X(Property, BoundText, 0x68030085, String, GetLet, NoArguments, idl::kBindable | idl::kDefaultBind | idl::kNotBrowsable, Saved(10, "Text1"), \
      "Restituisce o imposta il testo contenuto nel controllo.") \
    X(Method, UnNull, 0x600300A1, Variant, None, ByReference(che), 0, NotSaved, "") \
    X(Method, UnNull2, 0x600300A2, Variant, None, ByReference(che2), 0, NotSaved, "") \
    X(Method, UnNullxSQL, 0x600300A3, Variant, None, ByReference(che3), 0, NotSaved, "") \
    X(Method, Val2, 0x600300A4, Variant, None, ByReference(Cosa), 0, NotSaved, "") \
    X(Method, ValxSQL, 0x600300A5, String, None, ByReference(Cosa), 0, NotSaved, "") \
    X(Property, Locked, 0x68030084, Boolean, GetLet, NoArguments, 0, Saved(11, kFalse), \
      "Determina se un controllo può essere modificato.") \
    X(Property, MarqueeStyle, 0x68030083, MarqueeStyle, GetLet, NoArguments, 0, Saved(12, 4), \
      "Returns current split marquee style, sets all splits") \
    X(Property, SelStart, 0x68030082, Long, GetLet, NoArguments, 0, Saved(13, 0), \
      "Restituisce o imposta il punto di inizio del testo selezionato.") \
    X(Property, SelLength, 0x68030081, Long, GetLet, NoArguments, 0, Saved(14, 0), \
      "Restituisce o imposta il numero di caratteri selezionati.") \
    X(Property, SelText, 0x68030080, String, GetLet, NoArguments, 0, Saved(15, ""), \
      "Restituisce o imposta la stringa contenente il testo selezionato.") \
    X(Property, Text, 0x00000000, String, GetLet, NoArguments, idl::kUiDefault, Saved(16, "Text2"), \
      "Restituisce o imposta il testo contenuto nel controllo.") \
    X(Property, BoundField, 0x6803007F, Variant, GetLet, NoArguments, 0, Saved(17, Variant::integer(0)), "") \
    X(Property, Alignment, 0x6803007E, Integer, Get, NoArguments, 0, NotSaved, \
      "Restituisce o imposta il valore dell'allineamento di un controllo CheckBox o OptionButton o del testo di un controllo.") \
    X(Property, ListSearchField, 0x6803007D, Variant, GetLet, NoArguments, 0, Saved(18, Variant::integer(0)), "") \
    X(Property, DropDown, 0x6803007C, Boolean, GetLet, NoArguments, 0, Saved(19, kFalse), "") \
    X(Property, Enabled, 0x6803007B, Boolean, GetLet, NoArguments, 0, Saved(21, kTrue), \
      "Restituisce o imposta un valore che determina se un oggetto è in grado di rispondere agli eventi generati dall'utente.") \
    X(Property, CurrentX, 0x6803007A, Single, GetLet, NoArguments, 0, Saved(22, 0), \
      "Restituisce o imposta le coordinate orizzontali relative al successivo metodo di stampa o di disegno applicato.") \
    X(Property, CurrentY, 0x68030079, Single, GetLet, NoArguments, 0, Saved(23, 0), \
      "Restituisce o imposta le coordinate verticali relative al successivo metodo di stampa o di disegno applicato.") \
    X(Property, AutoRedraw, 0x68030078, Boolean, GetLet, NoArguments, 0, Saved(24, kFalse), \
      "Restituisce o imposta l'output di un metodo grafico in una bitmap fissa.") \
    X(Property, Appearance, 0x68030077, Integer, Get, NoArguments, 0, NotSaved, \
      "Restituisce o imposta un valore che indica se un oggetto viene ridisegnato con effetti tridimensionali in fase di esecuzione.") \
    X(Property, DefColWidth, 0x68030076, Single, GetLet, NoArguments, 0, Saved(25, 0), \
      "Specifies column width for auto-created columns") \
    X(Property, MaxLength, 0x68030075, Long, GetLet, NoArguments, 0, Saved(26, 0), \
      "Restituisce o imposta il numero massimo di caratteri che è possibile immettere in un controllo.") \
    X(Property, MouseIcon, 0x68030074, PictureObject, GetSet, NoArguments, 0, Saved(27, nullptr), \
      "Imposta un'icona personalizzata per il puntatore del mouse.") \
    X(Property, MousePointer, 0x68030073, Integer, GetLet, NoArguments, 0, Saved(28, 0), \
      "Restituisce o imposta il tipo di puntatore del mouse visualizzato quando il puntatore si trova su una parte specifica di un oggetto.") \
    X(Property, ScrollBars, 0x68030072, ScrollBars, GetLet, NoArguments, 0, Saved(29, 3), \
      "Sets/returns style for grid scrollbars") \
    X(Property, DropDownAuto, 0x68030071, Boolean, GetLet, NoArguments, 0, Saved(30, kTrue), "") \
    X(Property, OnListOnly, 0x68030070, Boolean, GetLet, NoArguments, 0, Saved(31, kTrue), "") \
    X(Property, hwnd, 0x6803006F, Long, Get, NoArguments, 0, NotSaved, \
      "Restituisce un handle (dal sistema operativo) alla finestra di un oggetto.") \
    X(Property, ListHeight, 0x6803006E, Long, GetLet, NoArguments, 0, Saved(32, 2055), "") \
    X(Property, ListDataBaseName, 0x6803006D, String, GetLet, NoArguments, 0, Saved(33, ""), \
      "Restituisce o imposta il nome e la posizione della fonte dati di un controllo Data.") \
    X(Property, ListRecordSource, 0x6803006C, String, GetLet, NoArguments, 0, Saved(34, ""), \
      "Restituisce o imposta la tabella sottostante, l'istruzione SQL o l'oggetto QueryDef per un controllo Data.") \
    X(Property, Connect, 0x6803006B, String, GetLet, NoArguments, 0, Saved(35, "Access"), \
      "Indica l'origine di un database aperto, un database utilizzato in una query pass-through o una tabella allegata.") \
    X(Property, DefaultCursorType, 0x6803006A, Integer, GetLet, NoArguments, 0, Saved(36, 0), \
      "Restituisce o imposta un valore che indica la libreria di cursori utilizzata dal controllo Data. Utilizzato con valori DefaultCursorTypeConstants.") \
    X(Property, DefaultType, 0x68030069, Integer, GetLet, NoArguments, 0, Saved(37, 2), \
      "Restituisce o imposta un valore che determina il tipo di fonte dati (motore locale o connessione diretta) utilizzato dal controllo Data. Utilizzato con i valori del tipo di area di lavoro.") \
    X(Property, Options, 0x68030068, Integer, GetLet, NoArguments, 0, Saved(38, 0), \
      "Restituisce o imposta un valore che specifica una o più caratteristiche dell'oggetto Recordset nella proprietà Recordset del controllo.") \
    X(Property, ListRecordsetType, 0x68030067, Integer, GetLet, NoArguments, 0, Saved(39, 1), \
      "Restituisce o imposta un valore che indica il tipo di oggetto Recordset che verrà creato con il controllo Data.") \
    X(Property, ColsAlignment, 0x68030066, String, GetLet, NoArguments, 0, Saved(40, ""), "") \
    X(Property, ListBodyFont, 0x68030065, FontObject, GetSet, NoArguments, 0, Saved(3, kAmbientFont), \
      "Specifies overall grid font object") \
    X(Property, ListHeadFont, 0x68030064, FontObject, GetSet, NoArguments, 0, Saved(4, kAmbientFont), \
      "Specifies the heading and caption font") \
    X(Property, ListForeColor, 0x68030063, Colour, GetLet, NoArguments, 0, Saved(41, kSystemWindowText), \
      "Sets/returns grid foreground color") \
    X(Method, Refresh, 0x600300B6, None, None, NoArguments, 0, NotSaved, \
      "Chiude e ricrea l'oggetto Recordset o le strutture di dati create da un controllo.") \
    X(Method, ListRefresh, 0x600300B7, None, None, NoArguments, 0, NotSaved, \
      "Chiude e ricrea l'oggetto Recordset o le strutture di dati create da un controllo.") \
    X(Property, FastMode, 0x68030062, Boolean, GetLet, NoArguments, 0, Saved(42, kFalse), "") \
    X(Property, Columns, 0x68030061, Object, Get, Optional(Index), 0, NotSaved, \
      "Contains a collection of grid columns") \
    X(Property, ListBackColor, 0x68030060, Colour, GetLet, NoArguments, 0, Saved(43, kSystemWindowBackground), \
      "Sets/returns grid background color") \
    X(Property, BringToFront, 0x6803005F, Boolean, GetLet, NoArguments, 0, Saved(44, kTrue), "") \
    X(Property, About, 0x6803005E, Variant, GetLet, NoArguments, 0, NotSaved, "") \
    X(Property, ListRecordset, 0x6803005D, RecordsetObject, GetSet, NoArguments, 0, NotSaved, \
      "Restituisce o imposta un oggetto Recordset definito dalle proprietà di un controllo Data oppure da un oggetto Recordset esistente.") \
    X(Property, SearchDisable, 0x6803005C, Boolean, GetLet, NoArguments, 0, Saved(45, kFalse), "") \
    X(Property, KeyboardConventions, 0x6803005B, Integer, GetLet, NoArguments, 0, Saved(46, 0), \
      "Restituisce o imposta le convenzioni di tastiera: 0 quelle del controllo, 1 quelle delle caselle combinate.")
// clang-format on

// Keys of the saved property set that belong to no member:
//
//   X(Key, Type, Source, Saved)
//
// the value of the property Source, of type Type, saved under Key too, with
// Saved as above. DataBindings keeps the bound value for a host that binds
// the control to its own data; loading writes it into the value after
// BoundText.
#define QUORVEL_SAVED_ONLY_KEYS(X) X(DataBindings, String, BoundText, Saved(20, ""))
