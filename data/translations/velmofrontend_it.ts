<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it" sourcelanguage="en">
<context>
    <name>DateTimeDialog</name>
    <message>
        <source>Enter Log date</source>
        <translation>Inserire la data del log</translation>
    </message>
    <message>
        <source>Enter End Log date:</source>
        <translation>Inserire la data di fine log:</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>Ok</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
</context>
<context>
    <name>ExcelExporter</name>
    <message>
        <source>the file could not be renamed</source>
        <translation>non è stato possibile rinominare il file</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Attenzione</translation>
    </message>
    <message>
        <source>The spreadsheet could not be written to %1: %2</source>
        <translation>Impossibile scrivere il foglio di calcolo in %1: %2</translation>
    </message>
    <message>
        <source>The spreadsheet could not be created in %1</source>
        <translation>Impossibile creare il foglio di calcolo in %1</translation>
    </message>
    <message>
        <source>The spreadsheet could not be opened.</source>
        <translation>Impossibile aprire il foglio di calcolo.</translation>
    </message>
    <message>
        <source>It was saved as %1</source>
        <translation>È stato salvato come %1</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Apri cartella</translation>
    </message>
    <message>
        <source>The folder %1 could not be opened.</source>
        <translation>Impossibile aprire la cartella %1.</translation>
    </message>
    <message>
        <source>To open it, install a spreadsheet program that reads .xlsx files, such as LibreOffice Calc (sudo apt install libreoffice-calc), then open the file from it or double-click it in the file manager.</source>
        <translation>Per aprirlo, installare un programma di fogli di calcolo che legga i file .xlsx, come LibreOffice Calc (sudo apt install libreoffice-calc), poi aprire il file da esso o con un doppio clic nel gestore file.</translation>
    </message>
</context>
<context>
    <name>ExportProgress</name>
    <message>
        <source>Writing the file...</source>
        <translation>Scrittura del file...</translation>
    </message>
</context>
<context>
    <name>FormulaEvaluator</name>
    <message>
        <source>formula timed out</source>
        <translation>tempo della formula scaduto</translation>
    </message>
    <message>
        <source>formula used too much memory</source>
        <translation>la formula usa troppa memoria</translation>
    </message>
    <message>
        <source>formula result too long</source>
        <translation>risultato della formula troppo lungo</translation>
    </message>
</context>
<context>
    <name>GraphDialog</name>
    <message>
        <source>Single Event Graph</source>
        <translation>Grafico del singolo evento</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>Eventi</translation>
    </message>
    <message>
        <source>Commands</source>
        <translation>Comandi</translation>
    </message>
</context>
<context>
    <name>HelpDialog</name>
    <message>
        <source>Help</source>
        <translation>Guida</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Calvestrid ORKEL</source>
        <translation>Calvestrid ORKEL</translation>
    </message>
    <message>
        <source>C&amp;onnect</source>
        <translation>C&amp;onnetti</translation>
    </message>
    <message>
        <source>Connect to serial port</source>
        <translation>Connetti alla porta seriale</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <source>&amp;Disconnect</source>
        <translation>&amp;Disconnetti</translation>
    </message>
    <message>
        <source>Disconnect from serial port</source>
        <translation>Disconnetti dalla porta seriale</translation>
    </message>
    <message>
        <source>Ctrl+D</source>
        <translation>Ctrl+D</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Esci</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>&amp;Configure</source>
        <translation>&amp;Configura</translation>
    </message>
    <message>
        <source>Configure serial port</source>
        <translation>Configura la porta seriale</translation>
    </message>
    <message>
        <source>Alt+C</source>
        <translation>Alt+C</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>Apri file</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Aggiorna</translation>
    </message>
    <message>
        <source>Open Log File</source>
        <translation>Apri file di log</translation>
    </message>
    <message>
        <source>Export to Excel</source>
        <translation>Esporta in Excel</translation>
    </message>
    <message>
        <source>Help Contents</source>
        <translation>Guida in linea</translation>
    </message>
    <message>
        <source>F1</source>
        <translation>F1</translation>
    </message>
    <message>
        <source>Full log example</source>
        <translation>Esempio di log completo</translation>
    </message>
    <message>
        <source>Short log example</source>
        <translation>Esempio di log breve</translation>
    </message>
    <message>
        <source>Check for update</source>
        <translation>Verifica aggiornamenti</translation>
    </message>
    <message>
        <source>Disable Update</source>
        <translation>Disattiva aggiornamenti</translation>
    </message>
    <message>
        <source>Enable Update</source>
        <translation>Attiva aggiornamenti</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>&amp;Informazioni</translation>
    </message>
    <message>
        <source>About program</source>
        <translation>Informazioni sul programma</translation>
    </message>
    <message>
        <source>Alt+A</source>
        <translation>Alt+A</translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation>Informazioni su Qt</translation>
    </message>
    <message>
        <source>Log File</source>
        <translation>File di log</translation>
    </message>
    <message>
        <source>Board Info</source>
        <translation>Informazioni scheda</translation>
    </message>
    <message>
        <source>Last Alarms</source>
        <translation>Ultimi allarmi</translation>
    </message>
    <message>
        <source>Board Settings</source>
        <translation>Impostazioni scheda</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>Allarmi</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Parametro</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Valore</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Descrizione</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>Codice</translation>
    </message>
    <message>
        <source>Run N°</source>
        <translation>Manovra N°</translation>
    </message>
    <message>
        <source>Occurrency</source>
        <translation>Occorrenze</translation>
    </message>
    <message>
        <source>Data-Logging</source>
        <translation>Data-Logging</translation>
    </message>
    <message>
        <source>Hex Image File</source>
        <translation>File immagine Hex</translation>
    </message>
    <message>
        <source>Hex File Info</source>
        <translation>Informazioni file Hex</translation>
    </message>
    <message>
        <source>Hex File for Board:</source>
        <translation>File Hex per la scheda:</translation>
    </message>
    <message>
        <source>Erase All</source>
        <translation>Cancella tutto</translation>
    </message>
    <message>
        <source>Progress Bar</source>
        <translation>Avanzamento</translation>
    </message>
    <message>
        <source>Exit Bootloader</source>
        <translation>Esci dal bootloader</translation>
    </message>
    <message>
        <source>Flashing</source>
        <translation>Programmazione</translation>
    </message>
    <message>
        <source>Calls</source>
        <translation>Chiamate</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aiuto</translation>
    </message>
    <message>
        <source>Unable to connect with serial daemon.</source>
        <translation>Impossibile connettersi al demone seriale.</translation>
    </message>
    <message>
        <source>Open Port: %1</source>
        <translation>Apertura porta: %1</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Disconnesso</translation>
    </message>
    <message>
        <source>File loading...</source>
        <translation>Caricamento file...</translation>
    </message>
    <message>
        <source>File loaded: Error file not sent.</source>
        <translation>File caricato: errore, file non inviato.</translation>
    </message>
    <message>
        <source>Update started.</source>
        <translation>Aggiornamento avviato.</translation>
    </message>
    <message>
        <source>Connected to Port: %1</source>
        <translation>Connesso alla porta: %1</translation>
    </message>
    <message>
        <source>Open error.</source>
        <translation>Errore di apertura.</translation>
    </message>
    <message>
        <source>COM incorrect. Choose another serial port.</source>
        <translation>COM errata. Scegliere un&apos;altra porta seriale.</translation>
    </message>
    <message>
        <source>Check configuration file for Board: %1.</source>
        <translation>Controllo del file di configurazione per la scheda: %1.</translation>
    </message>
    <message>
        <source>Error loading configuration file for Board: %1.</source>
        <translation>Errore nel caricamento del file di configurazione per la scheda: %1.</translation>
    </message>
    <message>
        <source>Failed control of the configuration file for the Board: %1.</source>
        <translation>Controllo del file di configurazione fallito per la scheda: %1.</translation>
    </message>
    <message>
        <source>Connected with board: %1</source>
        <translation>Connesso con la scheda: %1</translation>
    </message>
    <message>
        <source>File loaded: Ok.</source>
        <translation>File caricato: Ok.</translation>
    </message>
    <message>
        <source>File loaded: Error file wrong.</source>
        <translation>File caricato: errore, file errato.</translation>
    </message>
    <message>
        <source>File wrong.</source>
        <translation>File errato.</translation>
    </message>
    <message>
        <source>Update completed successfully.</source>
        <translation>Aggiornamento completato con successo.</translation>
    </message>
    <message>
        <source>Failed Update.</source>
        <translation>Aggiornamento fallito.</translation>
    </message>
    <message>
        <source>Error when connecting to the board.</source>
        <translation>Errore durante la connessione alla scheda.</translation>
    </message>
    <message>
        <source>About ORKEL</source>
        <translation>Informazioni su ORKEL</translation>
    </message>
    <message>
        <source>&lt;br&gt;&lt;/br&gt;&lt;b&gt;ORKEL ver. %3&lt;/b&gt;&lt;br&gt;&lt;/br&gt;&lt;br&gt;&lt;/br&gt;FrontEnd ver. %1&lt;br&gt;&lt;/br&gt;Serial ver. %2&lt;br&gt;&lt;/br&gt; </source>
        <translation>&lt;br&gt;&lt;/br&gt;&lt;b&gt;ORKEL ver. %3&lt;/b&gt;&lt;br&gt;&lt;/br&gt;&lt;br&gt;&lt;/br&gt;FrontEnd ver. %1&lt;br&gt;&lt;/br&gt;Demone seriale ver. %2&lt;br&gt;&lt;/br&gt; </translation>
    </message>
    <message>
        <source>Error loading configuration file for Board: %1.<byte value="xd"/>
 Try to update the software</source>
        <translation>Errore nel caricamento del file di configurazione per la scheda: %1.<byte value="xd"/>
 Provare ad aggiornare il software</translation>
    </message>
    <message>
        <source>Invalid Log File</source>
        <translation type="vanished">File di log non valido</translation>
    </message>
    <message>
        <source>Log files (*.log *.txt)</source>
        <translation>File di log (*.log *.txt)</translation>
    </message>
    <message>
        <source>%1</source>
        <translation>%1</translation>
    </message>
    <message>
        <source>Run Number</source>
        <translation>Numero manovra</translation>
    </message>
    <message>
        <source>Commands / Events</source>
        <translation>Comandi / Eventi</translation>
    </message>
    <message>
        <source>Commands</source>
        <translation>Comandi</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>Eventi</translation>
    </message>
    <message>
        <source>Graph event %1 (%2)</source>
        <translation>Grafico evento %1 (%2)</translation>
    </message>
    <message>
        <source>Spreadsheet saved as %1</source>
        <translation>Foglio di calcolo salvato come %1</translation>
    </message>
    <message>
        <source>The spreadsheet was not written.</source>
        <translation>Il foglio di calcolo non è stato scritto.</translation>
    </message>
    <message>
        <source>Reading the board identifier…</source>
        <translation>Lettura dell&apos;identificativo della scheda…</translation>
    </message>
    <message>
        <source>Erasing the board…</source>
        <translation>Cancellazione della scheda…</translation>
    </message>
    <message>
        <source>Written %1 of %2 blocks.</source>
        <translation>Scritti %1 blocchi su %2.</translation>
    </message>
    <message>
        <source>Written %1 of %2 blocks, %3.</source>
        <translation>Scritti %1 blocchi su %2, %3.</translation>
    </message>
    <message>
        <source>Writing the board: %1 %</source>
        <translation>Scrittura della scheda: %1 %</translation>
    </message>
    <message>
        <source>about %1 s left</source>
        <translation>mancano circa %1 s</translation>
    </message>
    <message>
        <source>about %1 min left</source>
        <translation>mancano circa %1 min</translation>
    </message>
    <message>
        <source>about %1 min %2 s left</source>
        <translation>mancano circa %1 min %2 s</translation>
    </message>
    <message>
        <source>File not loaded: %1.</source>
        <translation>File non caricato: %1.</translation>
    </message>
    <message>
        <source>File not sent: %1.</source>
        <translation>File non inviato: %1.</translation>
    </message>
    <message>
        <source>The file was not sent to the board:</source>
        <translation>Il file non è stato inviato alla scheda:</translation>
    </message>
    <message>
        <source>the file has %1 MiB; firmware files are at most %2 MiB</source>
        <translation>il file è di %1 MiB; i file di firmware sono al massimo di %2 MiB</translation>
    </message>
    <message>
        <source>the file cannot be read</source>
        <translation>il file non può essere letto</translation>
    </message>
    <message>
        <source>the file is too large</source>
        <translation>il file è troppo grande</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>il file è vuoto</translation>
    </message>
    <message>
        <source>not enough memory to read the file</source>
        <translation>memoria insufficiente per leggere il file</translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>riga %1: %2</translation>
    </message>
    <message>
        <source>line 1 is not a board identifier line (&quot;#&quot; and hexadecimal pairs)</source>
        <translation>la riga 1 non è una riga di identificazione della scheda (&quot;#&quot; e coppie esadecimali)</translation>
    </message>
    <message>
        <source>the board&apos;s configuration file names no identifier position</source>
        <translation>il file di configurazione della scheda non indica la posizione dell&apos;identificativo</translation>
    </message>
    <message>
        <source>line 1 ends before the board identifier</source>
        <translation>la riga 1 termina prima dell&apos;identificativo della scheda</translation>
    </message>
    <message>
        <source>made for board %1, connected board is %2</source>
        <translation>fatto per la scheda %1, la scheda collegata è %2</translation>
    </message>
    <message>
        <source>the record does not begin with &quot;:&quot;</source>
        <translation>il record non inizia con &quot;:&quot;</translation>
    </message>
    <message>
        <source>a character that is not a hexadecimal digit</source>
        <translation>un carattere che non è una cifra esadecimale</translation>
    </message>
    <message>
        <source>the record&apos;s length does not match its byte count</source>
        <translation>la lunghezza del record non corrisponde al numero di byte</translation>
    </message>
    <message>
        <source>wrong record checksum</source>
        <translation>checksum del record errato</translation>
    </message>
    <message>
        <source>unknown record type</source>
        <translation>tipo di record sconosciuto</translation>
    </message>
    <message>
        <source>line %1: a type %2 record must hold %3 data bytes, this one holds %4</source>
        <translation>riga %1: un record di tipo %2 deve contenere %3 byte di dati, questo ne contiene %4</translation>
    </message>
    <message>
        <source>line %1 ends with a carriage return alone (CR line ends): save the file with LF or CR LF line ends</source>
        <translation>la riga %1 termina con un solo ritorno a capo (fine riga CR): salvare il file con fine riga LF o CR LF</translation>
    </message>
    <message>
        <source>line %1: a record after the end-of-file record of line %2</source>
        <translation>riga %1: un record dopo il record di fine file della riga %2</translation>
    </message>
    <message>
        <source>the end-of-file record carries data</source>
        <translation>il record di fine file contiene dati</translation>
    </message>
    <message>
        <source>line %1: the address field of a type %2 record must be 0000</source>
        <translation>riga %1: il campo indirizzo di un record di tipo %2 deve essere 0000</translation>
    </message>
    <message>
        <source>the file ends without an end-of-file record: it may be cut off</source>
        <translation>il file termina senza record di fine file: potrebbe essere troncato</translation>
    </message>
    <message>
        <source>line %1 gives address %2 the value 0x%3, but line %4 gave it 0x%5</source>
        <translation>la riga %1 assegna all&apos;indirizzo %2 il valore 0x%3, ma la riga %4 gli ha assegnato 0x%5</translation>
    </message>
    <message>
        <source>nothing to program for this board</source>
        <translation>niente da programmare per questa scheda</translation>
    </message>
    <message>
        <source>the file holds no data for its program area (%1)</source>
        <translation>il file non contiene dati per la sua area di programma (%1)</translation>
    </message>
    <message>
        <source>1 byte at %1 lies outside this board&apos;s flash and is not written</source>
        <translation>1 byte a %1 è fuori dalla flash di questa scheda e non viene scritto</translation>
    </message>
    <message>
        <source>%1 bytes at %2 lie outside this board&apos;s flash and are not written</source>
        <translation>%1 byte a %2 sono fuori dalla flash di questa scheda e non vengono scritti</translation>
    </message>
    <message>
        <source>1 byte at %1 lies outside the program area (%2) and is not written</source>
        <translation>1 byte a %1 è fuori dall&apos;area di programma (%2) e non viene scritto</translation>
    </message>
    <message>
        <source>%1 bytes at %2 lie outside the program area (%3) and are not written</source>
        <translation>%1 byte a %2 sono fuori dall&apos;area di programma (%3) e non vengono scritti</translation>
    </message>
    <message>
        <source>and %1 bytes more in %2 further ranges outside this board&apos;s flash</source>
        <translation>e altri %1 byte in %2 ulteriori intervalli fuori dalla flash di questa scheda</translation>
    </message>
    <message>
        <source>and %1 bytes more in %2 further ranges outside the program area</source>
        <translation>e altri %1 byte in %2 ulteriori intervalli fuori dall&apos;area di programma</translation>
    </message>
    <message>
        <source>Size: %1 bytes. MD5: %2</source>
        <translation>Dimensione: %1 byte. MD5: %2</translation>
    </message>
    <message>
        <source>Programs %1: %2 bytes, %3 % of the program area</source>
        <translation>Programma %1: %2 byte, %3 % dell&apos;area di programma</translation>
    </message>
    <message>
        <source>1 byte outside this board&apos;s flash</source>
        <translation>1 byte fuori dalla flash di questa scheda</translation>
    </message>
    <message>
        <source>%1 bytes outside this board&apos;s flash</source>
        <translation>%1 byte fuori dalla flash di questa scheda</translation>
    </message>
    <message>
        <source>1 byte outside the program area</source>
        <translation>1 byte fuori dall&apos;area di programma</translation>
    </message>
    <message>
        <source>%1 bytes outside the program area</source>
        <translation>%1 byte fuori dall&apos;area di programma</translation>
    </message>
    <message>
        <source>Not written: %1.</source>
        <translation>Non scritti: %1.</translation>
    </message>
    <message>
        <source>The update request could not be sent to the serial daemon.</source>
        <translation>La richiesta di aggiornamento non è stata inviata al daemon seriale.</translation>
    </message>
    <message>
        <source>The board is left without a complete firmware. The update can be started again once the board answers: press Update again.</source>
        <translation>La scheda è rimasta senza un firmware completo. L&apos;aggiornamento può essere ripetuto appena la scheda risponde: premere Aggiorna di nuovo.</translation>
    </message>
    <message>
        <source>The serial daemon stopped answering during the update.</source>
        <translation>Il daemon seriale ha smesso di rispondere durante l&apos;aggiornamento.</translation>
    </message>
    <message>
        <source>The connection to the message broker was lost during the update.</source>
        <translation>La connessione al broker dei messaggi si è interrotta durante l&apos;aggiornamento.</translation>
    </message>
    <message>
        <source>The serial daemon did not start the update.</source>
        <translation>Il daemon seriale non ha avviato l&apos;aggiornamento.</translation>
    </message>
    <message>
        <source>Connect again, load the file and start the update once more.</source>
        <translation>Connettere di nuovo, caricare il file e avviare ancora l&apos;aggiornamento.</translation>
    </message>
    <message>
        <source>An update is running. Closing now stops it and leaves the board without a complete firmware. Close anyway?</source>
        <translation>È in corso un aggiornamento. Chiudere ora lo interrompe e lascia la scheda senza un firmware completo. Chiudere comunque?</translation>
    </message>
    <message>
        <source>The file passed the check here: it was changed or damaged on its way to the serial daemon. Load it again.</source>
        <translation>Il file ha superato il controllo qui: è stato modificato o danneggiato durante l&apos;invio al daemon seriale. Caricarlo di nuovo.</translation>
    </message>
    <message>
        <source>The USB adapter is unplugged, or the port name is wrong: plug the adapter in, then choose the port in Setup &gt; Configure.</source>
        <translation>L&apos;adattatore USB è scollegato o il nome della porta è errato: collegare l&apos;adattatore, poi scegliere la porta in Impostazioni &gt; Configura.</translation>
    </message>
    <message>
        <source>%1 went away: the USB adapter was unplugged or lost power. Plug it in again and connect.</source>
        <translation>%1 non c&apos;è più: l&apos;adattatore USB è stato scollegato o non è più alimentato. Ricollegarlo e connettere.</translation>
    </message>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 non esiste.</translation>
    </message>
    <message>
        <source>Your user is in the group &quot;%1&quot; that owns %2, but this session started before: log out and in again.</source>
        <translation>L&apos;utente fa parte del gruppo &quot;%1&quot; proprietario di %2, ma questa sessione è iniziata prima: uscire e rientrare nella sessione.</translation>
    </message>
    <message>
        <source>Your user may not open %1, which belongs to the group &quot;%2&quot;. Add the user to that group (sudo adduser %3 %2), then log out and in again.</source>
        <translation>L&apos;utente non può aprire %1, che appartiene al gruppo &quot;%2&quot;. Aggiungere l&apos;utente a quel gruppo (sudo adduser %3 %2), poi uscire e rientrare nella sessione.</translation>
    </message>
    <message>
        <source>Another program holds %1 (a terminal program, a modem manager or a second copy of this tool). Close it and connect again.</source>
        <translation>Un altro programma tiene occupata %1 (un programma di terminale, un gestore di modem o una seconda copia di questo strumento). Chiuderlo e connettere di nuovo.</translation>
    </message>
    <message>
        <source>Service record…</source>
        <translation>Registro aggiornamenti…</translation>
    </message>
    <message>
        <source>Go to Run...</source>
        <translation>Vai alla manovra...</translation>
    </message>
    <message>
        <source>Ctrl+G</source>
        <translation>Ctrl+G</translation>
    </message>
    <message>
        <source>Fit All Runs</source>
        <translation>Mostra tutte le manovre</translation>
    </message>
    <message>
        <source>Alarm Counts...</source>
        <translation>Conteggio allarmi...</translation>
    </message>
    <message>
        <source>Save Graphs...</source>
        <translation>Salva grafici...</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>Print Graphs...</source>
        <translation>Stampa grafici...</translation>
    </message>
    <message>
        <source>Ctrl+P</source>
        <translation>Ctrl+P</translation>
    </message>
    <message>
        <source>Filter Rows...</source>
        <translation>Filtra righe...</translation>
    </message>
    <message>
        <source>Run %1</source>
        <translation>Manovra %1</translation>
    </message>
    <message>
        <source>Run %1, %2</source>
        <translation type="vanished">Manovra %1, %2</translation>
    </message>
    <message>
        <source>This log holds runs %1 to %2</source>
        <translation type="vanished">Questo log contiene le manovre da %1 a %2</translation>
    </message>
    <message>
        <source>, from %1 to %2</source>
        <translation>, dal %1 al %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is neither a run number nor a date. Type a run number such as 1250 or a date such as 2019-05-10 14:30.</source>
        <translation type="vanished">&quot;%1&quot; non è né un numero di manovra né una data. Digitare un numero di manovra come 1250 o una data come 2019-05-10 14:30.</translation>
    </message>
    <message>
        <source>There is no run %1 in this log: it holds runs %2 to %3.</source>
        <translation type="vanished">La manovra %1 non è in questo log: contiene le manovre da %2 a %3.</translation>
    </message>
    <message>
        <source>No run at or after %1: this log goes from %2 to %3.</source>
        <translation>Nessuna manovra il %1 o dopo: questo log va dal %2 al %3.</translation>
    </message>
    <message>
        <source>The runs of this log have no dates to go by.</source>
        <translation>Le manovre di questo log non hanno date da cercare.</translation>
    </message>
    <message>
        <source>Go to Run</source>
        <translation>Vai alla manovra</translation>
    </message>
    <message>
        <source>%1: %2 of %3 runs had an alarm.</source>
        <translation>%1: %2 manovre su %3 hanno avuto un allarme.</translation>
    </message>
    <message>
        <source>runs %1 to %2</source>
        <translation>manovre da %1 a %2</translation>
    </message>
    <message>
        <source>PNG image (*.png);;PDF document (*.pdf)</source>
        <translation>Immagine PNG (*.png);;Documento PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Graphs saved as %1</source>
        <translation>Grafici salvati come %1</translation>
    </message>
    <message>
        <source>Save Graphs</source>
        <translation>Salva grafici</translation>
    </message>
    <message>
        <source>The graphs could not be saved as %1.</source>
        <translation>Non è stato possibile salvare i grafici come %1.</translation>
    </message>
    <message>
        <source>Print Graphs</source>
        <translation>Stampa grafici</translation>
    </message>
    <message>
        <source>The graphs could not be printed.</source>
        <translation>Non è stato possibile stampare i grafici.</translation>
    </message>
    <message>
        <source>Copy All Tables</source>
        <translation>Copia tutte le tabelle</translation>
    </message>
    <message>
        <source>Ctrl+Shift+C</source>
        <translation>Ctrl+Shift+C</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copia</translation>
    </message>
    <message>
        <source>The four tables were copied.</source>
        <translation>Le quattro tabelle sono state copiate.</translation>
    </message>
    <message>
        <source>Choose the board&apos;s serial port first.</source>
        <translation>Scegliere prima la porta seriale della scheda.</translation>
    </message>
    <message>
        <source>Starting the serial daemon…</source>
        <translation>Avvio del daemon seriale…</translation>
    </message>
    <message>
        <source>%1 could not be started: %2.</source>
        <translation>Impossibile avviare %1: %2.</translation>
    </message>
    <message>
        <source>The request to open %1 could not be sent: the message broker at %2:%3 does not answer.</source>
        <translation>Impossibile inviare la richiesta di aprire %1: il broker dei messaggi su %2:%3 non risponde.</translation>
    </message>
    <message>
        <source>Check that the broker (mosquitto) runs, then connect again.</source>
        <translation>Verificare che il broker (mosquitto) sia in funzione, poi connettere di nuovo.</translation>
    </message>
    <message>
        <source>The message broker at %1:%2 does not answer: check that it runs (mosquitto), then connect again.</source>
        <translation>Il broker dei messaggi su %1:%2 non risponde: verificare che sia in funzione (mosquitto), poi connettere di nuovo.</translation>
    </message>
    <message>
        <source>The serial daemon may have stopped. Connect again: it is started when it is not running.</source>
        <translation>Il daemon seriale potrebbe essersi fermato. Connettere di nuovo: viene avviato se non è in funzione.</translation>
    </message>
    <message>
        <source>The serial daemon started from %1 did not answer within %2 s.</source>
        <translation>Il daemon seriale avviato da %1 non ha risposto entro %2 s.</translation>
    </message>
    <message>
        <source>The serial daemon did not answer the request to open %1 within %2 s.</source>
        <translation>Il daemon seriale non ha risposto alla richiesta di aprire %1 entro %2 s.</translation>
    </message>
    <message>
        <source>The serial daemon did not report the board identifier within %1 s.</source>
        <translation>Il daemon seriale non ha comunicato l&apos;identificativo della scheda entro %1 s.</translation>
    </message>
    <message>
        <source>The serial daemon did not answer about the file within %1 s.</source>
        <translation>Il daemon seriale non ha risposto sul file entro %1 s.</translation>
    </message>
    <message>
        <source>The serial daemon may have finished the update or may have stopped: the state of the board is unknown. Check that the broker (mosquitto) runs, then connect again and update the board once more.</source>
        <translation>Il daemon seriale potrebbe aver terminato l&apos;aggiornamento oppure essersi fermato: lo stato della scheda è sconosciuto. Verificare che il broker (mosquitto) sia in funzione, poi connettere di nuovo e aggiornare ancora la scheda.</translation>
    </message>
    <message>
        <source>Stopped at block %1 of %2 (address %3).</source>
        <translation>Fermo al blocco %1 di %2 (indirizzo %3).</translation>
    </message>
    <message>
        <source>Stopped while erasing the board.</source>
        <translation>Fermo durante la cancellazione della scheda.</translation>
    </message>
    <message>
        <source>Stopped while reading the board back, after all blocks were written.</source>
        <translation>Fermo durante la rilettura della scheda, dopo la scrittura di tutti i blocchi.</translation>
    </message>
    <message>
        <source>Stopped at block %1 of %2.</source>
        <translation>Fermo al blocco %1 di %2.</translation>
    </message>
    <message>
        <source>The daemon was last heard from while reading the board back.</source>
        <translation>L&apos;ultima notizia dal daemon è arrivata durante la rilettura della scheda.</translation>
    </message>
    <message>
        <source>The daemon was last heard from while erasing the board.</source>
        <translation>L&apos;ultima notizia dal daemon è arrivata durante la cancellazione della scheda.</translation>
    </message>
    <message>
        <source>The daemon was last heard from at block %1 of %2.</source>
        <translation>L&apos;ultima notizia dal daemon è arrivata al blocco %1 di %2.</translation>
    </message>
    <message>
        <source>The port %1 went away: the USB adapter was unplugged, or its cable or power failed.</source>
        <translation>La porta %1 non c&apos;è più: l&apos;adattatore USB è stato scollegato, oppure il cavo o l&apos;alimentazione hanno ceduto.</translation>
    </message>
    <message>
        <source>The port %1 was lost.</source>
        <translation>La porta %1 è andata persa.</translation>
    </message>
    <message>
        <source>The board is left without a complete firmware. Plug the adapter in again and press Update again.</source>
        <translation>La scheda è rimasta senza un firmware completo. Ricollegare l&apos;adattatore e premere Aggiorna di nuovo.</translation>
    </message>
    <message>
        <source>The board did not answer on %1. Likely causes: the board is not powered, it is not in its boot loader, %1 is not the board&apos;s port, or the cable is loose or faulty.</source>
        <translation>La scheda non ha risposto su %1. Cause probabili: la scheda non è alimentata, non è nel suo boot loader, %1 non è la porta della scheda, oppure il cavo è staccato o guasto.</translation>
    </message>
    <message>
        <source>Update again</source>
        <translation>Aggiorna di nuovo</translation>
    </message>
    <message>
        <source>Connect, send the same file and update the board once more</source>
        <translation>Connettere, inviare di nuovo lo stesso file e aggiornare ancora la scheda</translation>
    </message>
    <message>
        <source>Waiting for the serial daemon…</source>
        <translation>In attesa del daemon seriale…</translation>
    </message>
    <message>
        <source>The serial daemon did not answer within %1 s.</source>
        <translation>Il daemon seriale non ha risposto entro %1 s.</translation>
    </message>
    <message>
        <source>Verifying block %1 of %2</source>
        <translation>Verifica del blocco %1 di %2</translation>
    </message>
    <message>
        <source>Excel workbook (*.xlsx)</source>
        <translation>Cartella di lavoro Excel (*.xlsx)</translation>
    </message>
    <message>
        <source>board run %1</source>
        <translation>manovra scheda %1</translation>
    </message>
    <message>
        <source>Run %1, board run %2</source>
        <translation>Manovra %1, manovra scheda %2</translation>
    </message>
    <message>
        <source>This log holds runs %1 to %2 (the board&apos;s runs %3 to %4)</source>
        <translation>Questo log contiene le manovre da %1 a %2 (le manovre della scheda da %3 a %4)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is neither a run number nor a date. Type the board&apos;s run number such as 15205, # and a run of the graphs such as #293, or a date such as 2019-05-10 14:30.</source>
        <translation>&quot;%1&quot; non è né un numero di manovra né una data. Scrivere il numero di manovra della scheda come 15205, # e una manovra dei grafici come #293, o una data come 2019-05-10 14:30.</translation>
    </message>
    <message>
        <source>There is no run #%1 in this log: its graphs hold runs %2 to %3.</source>
        <translation>Questo log non ha la manovra #%1: i suoi grafici contengono le manovre da %2 a %3.</translation>
    </message>
    <message>
        <source>There is no run %1 in this log: it holds the board&apos;s runs %2 to %3, and runs #%4 to #%5 in the graphs.</source>
        <translation>Questo log non ha la manovra %1: contiene le manovre della scheda da %2 a %3, e le manovre da #%4 a #%5 nei grafici.</translation>
    </message>
    <message>
        <source>(the board&apos;s runs %1 to %2)</source>
        <translation>(le manovre della scheda da %1 a %2)</translation>
    </message>
    <message>
        <source>Made %1</source>
        <translation>Creato il %1</translation>
    </message>
    <message>
        <source>Show Graphs</source>
        <translation>Mostra grafici</translation>
    </message>
    <message>
        <source>Show Tables</source>
        <translation>Mostra tabelle</translation>
    </message>
    <message>
        <source>Skipped Values...</source>
        <translation>Valori non usati...</translation>
    </message>
    <message>
        <source>Close Full Log</source>
        <translation>Chiudi log completo</translation>
    </message>
    <message>
        <source>Double-click a row to show its run in the graphs of this board&apos;s full log.</source>
        <translation>Doppio clic su una riga per mostrarne la manovra nei grafici del log completo di questa scheda.</translation>
    </message>
    <message>
        <source>Reading %1...</source>
        <translation>Lettura di %1...</translation>
    </message>
    <message>
        <source>Opening %1 was cancelled.</source>
        <translation>L&apos;apertura di %1 è stata annullata.</translation>
    </message>
    <message>
        <source>Filling the tables...</source>
        <translation>Riempimento delle tabelle...</translation>
    </message>
    <message>
        <source>%1 could not be opened: %2</source>
        <translation>Impossibile aprire %1: %2</translation>
    </message>
    <message>
        <source>%1 holds no run: no CMD line followed by an EVENT NUMBER line and a TIME line.</source>
        <translation>%1 non contiene manovre: nessuna riga CMD seguita da una riga EVENT NUMBER e una riga TIME.</translation>
    </message>
    <message>
        <source>Drawing %1...</source>
        <translation>Disegno di %1...</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a run number.</source>
        <translation>&quot;%1&quot; non è un numero di manovra.</translation>
    </message>
    <message>
        <source>Open the full log of board %1 to see its run %2 in the graphs.</source>
        <translation>Aprire il log completo della scheda %1 per vederne la manovra %2 nei grafici.</translation>
    </message>
    <message>
        <source>The full log open is of board %1, not %2.</source>
        <translation>Il log completo aperto è della scheda %1, non %2.</translation>
    </message>
    <message>
        <source>The full log %1 has no run %2.</source>
        <translation>Il log completo %1 non ha la manovra %2.</translation>
    </message>
    <message>
        <source>Not used: %1. &lt;a href=&quot;details&quot;&gt;Details&lt;/a&gt;</source>
        <translation>Non usati: %1. &lt;a href=&quot;details&quot;&gt;Dettagli&lt;/a&gt;</translation>
    </message>
    <message>
        <source>short log</source>
        <translation>log breve</translation>
    </message>
    <message>
        <source>Add to library…</source>
        <translation>Aggiungi alla libreria…</translation>
    </message>
</context>
<context>
    <name>RecordFormat</name>
    <message>
        <source>No updates recorded yet.</source>
        <translation>Nessun aggiornamento registrato finora.</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>Inizio</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Durata</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Esito</translation>
    </message>
    <message>
        <source>Board</source>
        <translation>Scheda</translation>
    </message>
    <message>
        <source>Board name</source>
        <translation>Nome scheda</translation>
    </message>
    <message>
        <source>File</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Size (KiB)</source>
        <translation>Dimensione (KiB)</translation>
    </message>
    <message>
        <source>MD5</source>
        <translation>MD5</translation>
    </message>
    <message>
        <source>File notes</source>
        <translation>Note sul file</translation>
    </message>
    <message>
        <source>Erase</source>
        <translation>Cancellazione</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Porta</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Utente</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>Computer</translation>
    </message>
    <message>
        <source>Program</source>
        <translation>Programma</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fallito</translation>
    </message>
    <message>
        <source>Aborted</source>
        <translation>Annullato</translation>
    </message>
    <message>
        <source>Daemon lost</source>
        <translation>Demone perso</translation>
    </message>
    <message>
        <source>Running</source>
        <translation>In corso</translation>
    </message>
    <message>
        <source>Interrupted</source>
        <translation>Interrotto</translation>
    </message>
    <message>
        <source>Page erase</source>
        <translation>Per pagine</translation>
    </message>
    <message>
        <source>Erase all</source>
        <translation>Cancella tutto</translation>
    </message>
    <message>
        <source>&lt; 1 s</source>
        <translation>&lt; 1 s</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>Port lost</source>
        <translation>Porta persa</translation>
    </message>
    <message>
        <source>Broker lost</source>
        <translation>Broker perso</translation>
    </message>
    <message>
        <source>Verified</source>
        <translation>Verificato</translation>
    </message>
    <message>
        <source>Retries</source>
        <translation>Ripetizioni</translation>
    </message>
    <message>
        <source>Differs</source>
        <translation>Diverso</translation>
    </message>
    <message>
        <source>Not readable</source>
        <translation>Non rileggibile</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Disattivata</translation>
    </message>
    <message>
        <source>Not completed</source>
        <translation>Non completata</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Provenienza</translation>
    </message>
    <message>
        <source>Signature</source>
        <translation>Firma</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Libreria</translation>
    </message>
    <message>
        <source>Other file</source>
        <translation>Altro file</translation>
    </message>
    <message>
        <source>Unsigned</source>
        <translation>Non firmato</translation>
    </message>
    <message>
        <source>Signed by %1</source>
        <translation>Firmato da %1</translation>
    </message>
    <message>
        <source>Damaged signature</source>
        <translation>Firma danneggiata</translation>
    </message>
    <message>
        <source>Signature of another file</source>
        <translation>Firma di un altro file</translation>
    </message>
    <message>
        <source>Untrusted key</source>
        <translation>Chiave non fidata</translation>
    </message>
</context>
<context>
    <name>ServiceRecord</name>
    <message>
        <source>The data folder %1 could not be created.</source>
        <translation>Impossibile creare la cartella dati %1.</translation>
    </message>
    <message>
        <source>The service record was damaged. It was renamed to %1 and a new one was started.</source>
        <translation>Il registro aggiornamenti era danneggiato. È stato rinominato in %1 e ne è stato avviato uno nuovo.</translation>
    </message>
    <message>
        <source>The service record %1 could not be prepared</source>
        <translation>Impossibile preparare il registro aggiornamenti %1</translation>
    </message>
    <message>
        <source>The new service record %1 could not be started</source>
        <translation>Impossibile avviare il nuovo registro aggiornamenti %1</translation>
    </message>
    <message>
        <source>The service record %1 could not be opened</source>
        <translation>Impossibile aprire il registro aggiornamenti %1</translation>
    </message>
    <message>
        <source>the SQLite driver of Qt is not installed</source>
        <translation>il driver SQLite di Qt non è installato</translation>
    </message>
    <message>
        <source>it is not a file</source>
        <translation>non è un file</translation>
    </message>
    <message>
        <source>The service record %1 could not be created</source>
        <translation>Impossibile creare il registro aggiornamenti %1</translation>
    </message>
    <message>
        <source>The service record %1 could not be read</source>
        <translation>Impossibile leggere il registro aggiornamenti %1</translation>
    </message>
    <message>
        <source>The service record %1 is damaged</source>
        <translation>Il registro aggiornamenti %1 è danneggiato</translation>
    </message>
    <message>
        <source>The service record %1 was written by a newer version of the program (format %2)</source>
        <translation>Il registro aggiornamenti %1 è stato scritto da una versione più recente del programma (formato %2)</translation>
    </message>
    <message>
        <source>The damaged service record %1 could not be renamed</source>
        <translation>Impossibile rinominare il registro aggiornamenti danneggiato %1</translation>
    </message>
    <message>
        <source>The service record %1 is not open</source>
        <translation>Il registro aggiornamenti %1 non è aperto</translation>
    </message>
    <message>
        <source>The start of the update could not be written to %1</source>
        <translation>Impossibile scrivere l'inizio dell'aggiornamento in %1</translation>
    </message>
    <message>
        <source>The end of the update could not be written to %1</source>
        <translation>Impossibile scrivere la fine dell'aggiornamento in %1</translation>
    </message>
    <message>
        <source>The service record %1 holds no open update %2</source>
        <translation>Il registro aggiornamenti %1 non contiene un aggiornamento aperto %2</translation>
    </message>
</context>
<context>
    <name>ServiceRecordDialog</name>
    <message>
        <source>Service record</source>
        <translation>Registro aggiornamenti</translation>
    </message>
    <message>
        <source>&amp;Board:</source>
        <translation>&amp;Scheda:</translation>
    </message>
    <message>
        <source>Only &amp;from</source>
        <translation>Solo &amp;dal</translation>
    </message>
    <message>
        <source>&amp;to</source>
        <translation>&amp;al</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>&amp;Ricarica</translation>
    </message>
    <message>
        <source>&amp;Export CSV…</source>
        <translation>&amp;Esporta CSV…</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Chiudi</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Tutte</translation>
    </message>
    <message>
        <source>No updates match the filter.</source>
        <translation>Nessun aggiornamento corrisponde al filtro.</translation>
    </message>
    <message>
        <source>1 update shown.</source>
        <translation>1 aggiornamento mostrato.</translation>
    </message>
    <message>
        <source>%1 updates shown.</source>
        <translation>%1 aggiornamenti mostrati.</translation>
    </message>
    <message>
        <source>Ended %1</source>
        <translation>Terminato %1</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 byte</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>File CSV (*.csv)</translation>
    </message>
    <message>
        <source>The CSV file %1 could not be written: %2</source>
        <translation>Impossibile scrivere il file CSV %1: %2</translation>
    </message>
    <message>
        <source>1 update saved to %1</source>
        <translation>1 aggiornamento salvato in %1</translation>
    </message>
    <message>
        <source>%1 updates saved to %2</source>
        <translation>%1 aggiornamenti salvati in %2</translation>
    </message>
</context>
<context>
    <name>PlotPanel</name>
    <message>
        <source>Replot all graph</source>
        <translation>Ridisegna tutti i grafici</translation>
    </message>
    <message>
        <source>Remove selected graph</source>
        <translation>Rimuovi il grafico selezionato</translation>
    </message>
    <message>
        <source>Enable Time</source>
        <translation>Abilita il tempo</translation>
    </message>
    <message>
        <source>Disable Time</source>
        <translation>Disabilita il tempo</translation>
    </message>
    <message>
        <source>Fit all</source>
        <translation>Adatta tutto</translation>
    </message>
    <message>
        <source>Show all rows</source>
        <translation>Mostra tutte le righe</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>Settings</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>Select Serial Port</source>
        <translation>Seleziona la porta seriale</translation>
    </message>
    <message>
        <source>Select Parameters</source>
        <translation>Seleziona i parametri</translation>
    </message>
    <message>
        <source>BaudRate:</source>
        <translation>Velocità (baud):</translation>
    </message>
    <message>
        <source>Data bits:</source>
        <translation>Bit di dati:</translation>
    </message>
    <message>
        <source>Parity:</source>
        <translation>Parità:</translation>
    </message>
    <message>
        <source>Stop bits:</source>
        <translation>Bit di stop:</translation>
    </message>
    <message>
        <source>Flow control:</source>
        <translation>Controllo di flusso:</translation>
    </message>
    <message>
        <source>Select Mqtt Parameters</source>
        <translation>Seleziona i parametri Mqtt</translation>
    </message>
    <message>
        <source>Private broker (only your account can reach it)</source>
        <translation>Broker privato (raggiungibile solo dal tuo account)</translation>
    </message>
    <message>
        <source>TCP broker:</source>
        <translation>Broker TCP:</translation>
    </message>
    <message>
        <source>A TCP broker is open to every account on this PC, and to the network when it listens there: whoever reaches it can read the firmware you send, command the board through the serial daemon and fake its answers.</source>
        <translation>Un broker TCP è aperto a tutti gli account di questo PC, e alla rete quando vi è in ascolto: chi lo raggiunge può leggere il firmware che invii, comandare la scheda tramite il demone seriale e falsificarne le risposte.</translation>
    </message>
    <message>
        <source>Available when the tool is started with velmo-service-tool or scripts/run.sh.</source>
        <translation>Disponibile quando lo strumento è avviato con velmo-service-tool o scripts/run.sh.</translation>
    </message>
    <message>
        <source>Host:</source>
        <translation>Host:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Porta:</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connetti</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Applica</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Nessuna</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Pari</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Dispari</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>RTS/CTS</source>
        <translation>RTS/CTS</translation>
    </message>
    <message>
        <source>XON/XOFF</source>
        <translation>XON/XOFF</translation>
    </message>
    <message>
        <source>for example /dev/ttyUSB0</source>
        <translation>per esempio /dev/ttyUSB0</translation>
    </message>
    <message>
        <source>Choose a port the PC reports, or type the path of the device.</source>
        <translation>Scegliere una porta rilevata dal PC, oppure scrivere il percorso del dispositivo.</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Porta</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Descrizione</translation>
    </message>
    <message>
        <source>Maker</source>
        <translation>Produttore</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>Numero di serie</translation>
    </message>
    <message>
        <source>Look for serial ports again</source>
        <translation>Cerca di nuovo le porte seriali</translation>
    </message>
    <message>
        <source>Stable name of %1 (stays when plugged in again)</source>
        <translation>Nome stabile di %1 (resta uguale quando viene ricollegata)</translation>
    </message>
    <message>
        <source>Maker: %1</source>
        <translation>Produttore: %1</translation>
    </message>
    <message>
        <source>Serial number: %1</source>
        <translation>Numero di serie: %1</translation>
    </message>
    <message>
        <source>Stable name: %1</source>
        <translation>Nome stabile: %1</translation>
    </message>
    <message>
        <source>Firmware update</source>
        <translation>Aggiornamento firmware</translation>
    </message>
    <message>
        <source>Verify after writing</source>
        <translation>Verifica dopo la scrittura</translation>
    </message>
    <message>
        <source>Read the whole program area back after the update and compare it with the file. A board that cannot be read back is reported as not verified.</source>
        <translation>Dopo l&apos;aggiornamento rilegge tutta l&apos;area di programma e la confronta con il file. Una scheda che non può essere riletta viene indicata come non verificata.</translation>
    </message>
    <message>
        <source>Only flash signed files</source>
        <translation>Programma solo file firmati</translation>
    </message>
    <message>
        <source>Refuse, before sending, every file without a valid signature FILE.hex.sig of a trusted key (the program&apos;s keys folder or Keys in your data folder).</source>
        <translation>Rifiuta, prima dell&apos;invio, ogni file senza una firma valida FILE.hex.sig di una chiave fidata (la cartella keys del programma o Keys nella propria cartella dati).</translation>
    </message>
</context>
<context>
    <name>short_log</name>
    <message>
        <source>Invalid Log File</source>
        <translation>File di log non valido</translation>
    </message>
    <message>
        <source>%1 could not be opened: %2</source>
        <translation>Impossibile aprire %1: %2</translation>
    </message>
    <message>
        <source>%1 has no board information: no data line under #DEVICEINFO.</source>
        <translation>%1 non ha informazioni sulla scheda: nessuna riga di dati sotto #DEVICEINFO.</translation>
    </message>
    <message>
        <source>%1 has no board settings: no data line under #DEVICECONF.</source>
        <translation>%1 non ha impostazioni della scheda: nessuna riga di dati sotto #DEVICECONF.</translation>
    </message>
</context>
<context>
    <name>UpdateCheckUi</name>
    <message>
        <source>Check for update</source>
        <translation>Verifica aggiornamenti</translation>
    </message>
    <message>
        <source>Checking for updates...</source>
        <translation>Verifica aggiornamenti in corso...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>You are running the latest version (%1).</source>
        <translation>Stai usando la versione più recente (%1).</translation>
    </message>
    <message>
        <source>Unable to check for updates.
%1</source>
        <translation>Impossibile verificare gli aggiornamenti.
%1</translation>
    </message>
    <message>
        <source>Update available</source>
        <translation>Aggiornamento disponibile</translation>
    </message>
    <message>
        <source>A new version of %1 is available: %2 (you are running %3).</source>
        <translation>È disponibile una nuova versione di %1: %2 (versione in uso: %3).</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Scarica</translation>
    </message>
    <message>
        <source>Skip This Version</source>
        <translation>Salta questa versione</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>Più tardi</translation>
    </message>
    <message>
        <source>Cannot open %1 in the browser.</source>
        <translation>Impossibile aprire %1 nel browser.</translation>
    </message>
    <message>
        <source>No web browser is set up to open %1.</source>
        <translation>Nessun browser è impostato per aprire %1.</translation>
    </message>
    <message>
        <source>Open the address in a browser to download the update.</source>
        <translation>Aprire l&apos;indirizzo in un browser per scaricare l&apos;aggiornamento.</translation>
    </message>
    <message>
        <source>Copy address</source>
        <translation>Copia indirizzo</translation>
    </message>
</context>
<context>
    <name>UpdateRecorder</name>
    <message>
        <source>This update is not entered in the service record.
%1</source>
        <translation>Questo aggiornamento non è stato inserito nel registro aggiornamenti.
%1</translation>
    </message>
    <message>
        <source>The end of this update is not entered in the service record.
%1</source>
        <translation>La fine di questo aggiornamento non è stata inserita nel registro aggiornamenti.
%1</translation>
    </message>
</context>
<context>
    <name>AlarmCountsDialog</name>
    <message>
        <source>Alarm Counts</source>
        <translation>Conteggio allarmi</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>Codice</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Descrizione</translation>
    </message>
    <message>
        <source>Runs</source>
        <translation>Manovre</translation>
    </message>
    <message>
        <source>First Run</source>
        <translation>Prima manovra</translation>
    </message>
    <message>
        <source>First Date</source>
        <translation>Prima data</translation>
    </message>
    <message>
        <source>Last Run</source>
        <translation>Ultima manovra</translation>
    </message>
    <message>
        <source>Last Date</source>
        <translation>Ultima data</translation>
    </message>
    <message>
        <source>Click a heading to sort. Double-click a row to show its first run in the graphs, or its last run from the last two columns.</source>
        <translation type="vanished">Fare clic su un'intestazione per ordinare. Fare doppio clic su una riga per mostrarne la prima manovra nei grafici, o l'ultima manovra dalle ultime due colonne.</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Chiudi</translation>
    </message>
    <message>
        <source>Board Run</source>
        <translation>Manovra scheda</translation>
    </message>
    <message>
        <source>The board&apos;s own number of the first run (EVENT NUMBER)</source>
        <translation>Il numero che la scheda dà alla prima manovra (EVENT NUMBER)</translation>
    </message>
    <message>
        <source>The board&apos;s own number of the last run (EVENT NUMBER)</source>
        <translation>Il numero che la scheda dà all&apos;ultima manovra (EVENT NUMBER)</translation>
    </message>
    <message>
        <source>Click a heading to sort. Double-click a row to show its first run in the graphs, or its last run from the last three columns.</source>
        <translation>Fare clic su un&apos;intestazione per ordinare. Fare doppio clic su una riga per mostrarne la prima manovra nei grafici, o l&apos;ultima manovra dalle ultime tre colonne.</translation>
    </message>
</context>
<context>
    <name>GoToRunDialog</name>
    <message>
        <source>Go to Run</source>
        <translation>Vai alla manovra</translation>
    </message>
    <message>
        <source>Run number or date:</source>
        <translation>Numero manovra o data:</translation>
    </message>
    <message>
        <source>e.g. 1250 or 2019-05-10 14:30</source>
        <translation type="vanished">es. 1250 oppure 2019-05-10 14:30</translation>
    </message>
    <message>
        <source>Go</source>
        <translation>Vai</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>15205: the board&apos;s run number, as in the file and the short log.
#293: the 293rd run of the graphs.
2019-05-10 14:30: the first run at or after that time.</source>
        <translation>15205: il numero di manovra della scheda, come nel file e nel log breve.
#293: la 293ª manovra dei grafici.
2019-05-10 14:30: la prima manovra a quell&apos;ora o dopo.</translation>
    </message>
    <message>
        <source>e.g. 15205, #293 or 2019-05-10 14:30</source>
        <translation>es. 15205, #293 o 2019-05-10 14:30</translation>
    </message>
</context>
<context>
    <name>RowFilterDialog</name>
    <message>
        <source>Filter Rows</source>
        <translation>Filtra righe</translation>
    </message>
    <message>
        <source>Show only the rows ticked:</source>
        <translation>Mostra solo le righe selezionate:</translation>
    </message>
    <message>
        <source>Search code or description</source>
        <translation>Cerca codice o descrizione</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Seleziona tutto</translation>
    </message>
    <message>
        <source>Select None</source>
        <translation>Deseleziona tutto</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Mostra</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
</context>
<context>
    <name>ConsoleOutput</name>
    <message>
        <source>Writing %1 % [%2] block %3/%4</source>
        <translation>Scrittura %1 % [%2] blocco %3/%4</translation>
    </message>
    <message>
        <source>%1 left</source>
        <translation>mancano %1</translation>
    </message>
    <message>
        <source>Verifying %1 % [%2] block %3/%4</source>
        <translation>Verifica %1 % [%2] blocco %3/%4</translation>
    </message>
</context>
<context>
    <name>FlashCommand</name>
    <message>
        <source>The service tool's window or another velmo-flash is using the serial daemon: close it and try again.</source>
        <translation>La finestra dello strumento di assistenza o un altro velmo-flash sta usando il demone seriale: chiuderlo e riprovare.</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>Impossibile leggere %1: %2</translation>
    </message>
    <message>
        <source>%1 is too large (more than 268,435,455 bytes).</source>
        <translation>%1 è troppo grande (più di 268.435.455 byte).</translation>
    </message>
    <message>
        <source>%1 is empty.</source>
        <translation>%1 è vuoto.</translation>
    </message>
    <message>
        <source>The serial daemon was not running: started %1.</source>
        <translation>Il demone seriale non era in esecuzione: avviato %1.</translation>
    </message>
    <message>
        <source>The serial daemon is not running, and %1 could not be started: %2</source>
        <translation>Il demone seriale non è in esecuzione e non è stato possibile avviare %1: %2</translation>
    </message>
    <message>
        <source>The serial daemon answers.</source>
        <translation>Il demone seriale risponde.</translation>
    </message>
    <message>
        <source>The serial daemon %1 answers.</source>
        <translation>Il demone seriale %1 risponde.</translation>
    </message>
    <message>
        <source>The serial daemon sees no serial ports.</source>
        <translation>Il demone seriale non vede porte seriali.</translation>
    </message>
    <message>
        <source>The serial daemon stopped the update.</source>
        <translation>Il demone seriale ha interrotto l'aggiornamento.</translation>
    </message>
    <message>
        <source>Port %1 open.</source>
        <translation>Porta %1 aperta.</translation>
    </message>
    <message>
        <source>%1 checked: %2 bytes, made for board %3.</source>
        <translation>%1 verificato: %2 byte, fatto per la scheda %3.</translation>
    </message>
    <message>
        <source>It programs %1: %2 bytes, %3 % of the program area.</source>
        <translation>Programma %1: %2 byte, %3 % dell&apos;area di programma.</translation>
    </message>
    <message>
        <source>Note: %1.</source>
        <translation>Nota: %1.</translation>
    </message>
    <message>
        <source>The serial daemon accepted %1.</source>
        <translation>Il demone seriale ha accettato %1.</translation>
    </message>
    <message>
        <source>Board %1: %2</source>
        <translation>Scheda %1: %2</translation>
    </message>
    <message>
        <source>all at once</source>
        <translation>tutta insieme</translation>
    </message>
    <message>
        <source>in steps of %1 bytes</source>
        <translation>a passi di %1 byte</translation>
    </message>
    <message>
        <source>Configuration file: %1</source>
        <translation>File di configurazione: %1</translation>
    </message>
    <message>
        <source>  flash:        %1 KiB from %2</source>
        <translation>  flash:             %1 KiB da %2</translation>
    </message>
    <message>
        <source>  program area: %1 KiB from %2</source>
        <translation>  area programma:    %1 KiB da %2</translation>
    </message>
    <message>
        <source>  erase:        %1</source>
        <translation>  cancellazione:     %1</translation>
    </message>
    <message>
        <source>  padding:      %1</source>
        <translation>  riempimento:       %1</translation>
    </message>
    <message>
        <source>  id position:  %1</source>
        <translation>  posizione id:      %1</translation>
    </message>
    <message>
        <source>  refresh:      %1</source>
        <translation>  aggiornamento:     %1</translation>
    </message>
    <message>
        <source>yes</source>
        <translation>sì</translation>
    </message>
    <message>
        <source>no</source>
        <translation>no</translation>
    </message>
    <message>
        <source>Updating board %1: %2 blocks of 64 bytes, %3.</source>
        <translation>Aggiornamento della scheda %1: %2 blocchi da 64 byte, %3.</translation>
    </message>
    <message>
        <source>erasing page by page</source>
        <translation>cancellazione pagina per pagina</translation>
    </message>
    <message>
        <source>erasing all at once</source>
        <translation>cancellazione completa in una volta</translation>
    </message>
    <message>
        <source>Interrupted again: quitting at once.</source>
        <translation>Interrotto di nuovo: uscita immediata.</translation>
    </message>
    <message>
        <source>Interrupted during the update: the serial daemon was asked to stop. The board is left without a complete firmware; update it again before using it.</source>
        <translation>Interrotto durante l'aggiornamento: al demone seriale è stato chiesto di fermarsi. La scheda è rimasta senza un firmware completo; aggiornarla di nuovo prima di usarla.</translation>
    </message>
    <message>
        <source>Waiting for the serial daemon to stop (Ctrl+C again quits at once)...</source>
        <translation>In attesa che il demone seriale si fermi (un altro Ctrl+C esce subito)...</translation>
    </message>
    <message>
        <source>Interrupted.</source>
        <translation>Interrotto.</translation>
    </message>
    <message>
        <source>All %1 blocks written; reading the board back to compare.</source>
        <translation>Scritti tutti i %1 blocchi; rilettura della scheda per il confronto.</translation>
    </message>
    <message>
        <source>Board %1 (%2) erases all at once (max-erase -1 in its configuration): it cannot be erased page by page. Leave out --page-erase.</source>
        <translation>La scheda %1 (%2) si cancella tutta in una volta (max-erase -1 nella sua configurazione): non può essere cancellata pagina per pagina. Omettere --page-erase.</translation>
    </message>
    <message>
        <source>The firmware library holds no file signed with a trusted key that can be flashed on board %1 (%2).</source>
        <translation>La libreria firmware non contiene alcun file firmato con una chiave fidata che si possa programmare sulla scheda %1 (%2).</translation>
    </message>
    <message>
        <source>The firmware library holds no file that can be flashed on board %1 (%2).</source>
        <translation>La libreria firmware non contiene alcun file che si possa programmare sulla scheda %1 (%2).</translation>
    </message>
    <message>
        <source>One file is made for it but cannot be flashed: see velmo-flash --library --board %1.</source>
        <translation>Un file è fatto per questa scheda ma non si può programmare: vedere velmo-flash --library --board %1.</translation>
    </message>
    <message>
        <source>%1 files are made for it but cannot be flashed: see velmo-flash --library --board %2.</source>
        <translation>%1 file sono fatti per questa scheda ma non si possono programmare: vedere velmo-flash --library --board %2.</translation>
    </message>
    <message>
        <source>Newest library file for board %1: %2 (%3, %4).</source>
        <translation>File più recente della libreria per la scheda %1: %2 (%3, %4).</translation>
    </message>
</context>
<context>
    <name>FlashReport</name>
    <message>
        <source>The serial daemon does not answer.</source>
        <translation>Il demone seriale non risponde.</translation>
    </message>
    <message>
        <source>The port %1 cannot be opened: %2</source>
        <translation>Impossibile aprire la porta %1: %2</translation>
    </message>
    <message>
        <source>The answer %1 on %2 is no board identifier: is it the board's port?</source>
        <translation>La risposta %1 su %2 non è un identificativo di scheda: è la porta della scheda?</translation>
    </message>
    <message>
        <source>The configuration file %1 of board %2 is incomplete.</source>
        <translation>Il file di configurazione %1 della scheda %2 è incompleto.</translation>
    </message>
    <message>
        <source>There is no configuration file for board %1 (%2).</source>
        <translation>Non esiste un file di configurazione per la scheda %1 (%2).</translation>
    </message>
    <message>
        <source>The board on %1 did not tell its identifier: is it connected, powered and in its boot loader?</source>
        <translation>La scheda su %1 non ha comunicato il suo identificativo: è collegata, alimentata e nel boot loader?</translation>
    </message>
    <message>
        <source>%1 could not be read.</source>
        <translation>Impossibile leggere %1.</translation>
    </message>
    <message>
        <source>%1 could not be sent to the serial daemon.</source>
        <translation>Impossibile inviare %1 al demone seriale.</translation>
    </message>
    <message>
        <source>The serial daemon refused %1 (File wrong.): it arrived damaged or is not for this board.</source>
        <translation>Il demone seriale ha rifiutato %1 (File errato.): è arrivato danneggiato o non è per questa scheda.</translation>
    </message>
    <message>
        <source>%1 is refused: %2</source>
        <translation>%1 è rifiutato: %2</translation>
    </message>
    <message>
        <source>The board stopped answering during the update: it is left without a complete firmware. Connect again and repeat the update.</source>
        <translation>La scheda ha smesso di rispondere durante l'aggiornamento: è rimasta senza un firmware completo. Connettersi di nuovo e ripetere l'aggiornamento.</translation>
    </message>
    <message>
        <source>The update failed. %1 The board is left without a complete firmware: connect again and repeat the update.</source>
        <translation>L&apos;aggiornamento è fallito. %1 La scheda è rimasta senza un firmware completo: connettersi di nuovo e ripetere l&apos;aggiornamento.</translation>
    </message>
    <message>
        <source>The board was written, but the read-back failed. %1 Do not use the board: connect again and repeat the update.</source>
        <translation>La scheda è stata scritta, ma la rilettura è fallita. %1 Non usare la scheda: connettersi di nuovo e ripetere l&apos;aggiornamento.</translation>
    </message>
    <message>
        <source>The serial daemon gave no cause.</source>
        <translation>Il demone seriale non ha indicato la causa.</translation>
    </message>
    <message>
        <source>%1 The board is left without a complete firmware: update it again before using it.</source>
        <translation>%1 La scheda è rimasta senza un firmware completo: aggiornarla di nuovo prima di usarla.</translation>
    </message>
    <message>
        <source>The update request could not be sent: the connection to the MQTT broker at %1 is lost.</source>
        <translation>Impossibile inviare la richiesta di aggiornamento: la connessione al broker MQTT su %1 è persa.</translation>
    </message>
    <message>
        <source>%1 The board is left without a complete firmware: connect it again and repeat the update.</source>
        <translation>%1 La scheda è rimasta senza un firmware completo: collegarla di nuovo e ripetere l&apos;aggiornamento.</translation>
    </message>
    <message>
        <source>%1 The state of the board is unknown: once the broker runs, update the board again.</source>
        <translation>%1 Lo stato della scheda è sconosciuto: appena il broker è in funzione, aggiornare di nuovo la scheda.</translation>
    </message>
    <message>
        <source>The workflow stopped.</source>
        <translation>La procedura si è fermata.</translation>
    </message>
    <message>
        <source>No serial port chosen: give --port DEV, or choose the port in the service tool's settings.</source>
        <translation>Nessuna porta seriale scelta: indicare --port DEV oppure scegliere la porta nelle impostazioni dello strumento di assistenza.</translation>
    </message>
    <message>
        <source>The connection to the MQTT broker at %1 is lost.</source>
        <translation>La connessione al broker MQTT su %1 è persa.</translation>
    </message>
    <message>
        <source>No MQTT broker answers at %1 (waited %2).</source>
        <translation>Nessun broker MQTT risponde su %1 (atteso %2).</translation>
    </message>
    <message>
        <source>The serial daemon did not send its port list within %1.</source>
        <translation>Il demone seriale non ha inviato il suo elenco di porte entro %1.</translation>
    </message>
    <message>
        <source>The serial daemon did not answer the request to open %1 within %2.</source>
        <translation>Il demone seriale non ha risposto alla richiesta di aprire %1 entro %2.</translation>
    </message>
    <message>
        <source>No board identifier from %1 within %2.</source>
        <translation>Nessun identificativo di scheda da %1 entro %2.</translation>
    </message>
    <message>
        <source>The serial daemon did not answer about %1 within %2.</source>
        <translation>Il demone seriale non ha risposto riguardo a %1 entro %2.</translation>
    </message>
    <message>
        <source>The serial daemon started from %1 did not answer within %2.</source>
        <translation>Il demone seriale avviato da %1 non ha risposto entro %2.</translation>
    </message>
    <message>
        <source>The serial daemon does not answer through the broker at %1 (waited %2).</source>
        <translation>Il demone seriale non risponde tramite il broker su %1 (atteso %2).</translation>
    </message>
    <message>
        <source>The connection to the MQTT broker at %1 was lost during the update: the state of the board is unknown. Once the broker runs, update the board again.</source>
        <translation>La connessione al broker MQTT su %1 si è interrotta durante l&apos;aggiornamento: lo stato della scheda è sconosciuto. Appena il broker è in funzione, aggiornare di nuovo la scheda.</translation>
    </message>
    <message>
        <source>No progress from the serial daemon for %1: the daemon is lost. The board is left without a complete firmware.</source>
        <translation>Nessun avanzamento dal demone seriale per %1: il demone è perso. La scheda è rimasta senza un firmware completo.</translation>
    </message>
    <message>
        <source>The serial daemon did not confirm the stop within %1.</source>
        <translation>Il demone seriale non ha confermato l'arresto entro %1.</translation>
    </message>
    <message>
        <source>Board %1 (%2) now holds %3; the update took %4.</source>
        <translation>La scheda %1 (%2) ora contiene %3; l'aggiornamento è durato %4.</translation>
    </message>
    <message>
        <source>interrupted</source>
        <translation>interrotto</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>service record unreadable</source>
        <translation>registro aggiornamenti illeggibile</translation>
    </message>
    <message>
        <source>bad usage</source>
        <translation>uso errato</translation>
    </message>
    <message>
        <source>no MQTT broker</source>
        <translation>nessun broker MQTT</translation>
    </message>
    <message>
        <source>no answer from the serial daemon</source>
        <translation>nessuna risposta dal demone seriale</translation>
    </message>
    <message>
        <source>port cannot be opened</source>
        <translation>impossibile aprire la porta</translation>
    </message>
    <message>
        <source>board identifier not read</source>
        <translation>identificativo della scheda non letto</translation>
    </message>
    <message>
        <source>no board configuration</source>
        <translation>nessuna configurazione della scheda</translation>
    </message>
    <message>
        <source>file refused</source>
        <translation>file rifiutato</translation>
    </message>
    <message>
        <source>update failed</source>
        <translation>aggiornamento fallito</translation>
    </message>
    <message>
        <source>the serial daemon is in use</source>
        <translation>il demone seriale è in uso</translation>
    </message>
    <message>
        <source>output not written</source>
        <translation>uscita non scritta</translation>
    </message>
    <message>
        <source>no library file for this board</source>
        <translation>nessun file della libreria per questa scheda</translation>
    </message>
    <message>
        <source>the firmware library cannot be written</source>
        <translation>impossibile scrivere nella libreria firmware</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>Attempt %1 of %2 failed (%3); a new update starts in %4.</source>
        <translation>Tentativo %1 di %2 fallito (%3); un nuovo aggiornamento parte tra %4.</translation>
    </message>
    <message>
        <source>Result: OK. %1</source>
        <translation>Risultato: OK. %1</translation>
    </message>
    <message>
        <source>Result: %1 (exit status %2).</source>
        <translation>Risultato: %1 (stato di uscita %2).</translation>
    </message>
    <message>
        <source>Updates tried: %1.</source>
        <translation>Aggiornamenti tentati: %1.</translation>
    </message>
</context>
<context>
    <name>HistoryCommand</name>
    <message>
        <source>velmo-flash: the service record %1 cannot be read: %2</source>
        <translation>velmo-flash: impossibile leggere il registro aggiornamenti %1: %2</translation>
    </message>
</context>
<context>
    <name>UpdateReport</name>
    <message>
        <source>the board did not answer within %1 s</source>
        <translation>la scheda non ha risposto entro %1 s</translation>
    </message>
    <message>
        <source>the board did not answer</source>
        <translation>la scheda non ha risposto</translation>
    </message>
    <message>
        <source>the board&apos;s answers came back damaged %1 times in a row</source>
        <translation>le risposte della scheda sono arrivate danneggiate %1 volte di seguito</translation>
    </message>
    <message>
        <source>the serial port was lost</source>
        <translation>la porta seriale è stata persa</translation>
    </message>
    <message>
        <source>the board differs from the file from %1 on; %2 of %3 blocks differ</source>
        <translation>la scheda differisce dal file a partire da %1; %2 blocchi su %3 sono diversi</translation>
    </message>
    <message>
        <source>this board cannot be read back</source>
        <translation>questa scheda non può essere riletta</translation>
    </message>
    <message>
        <source>there is no update to compare the board with</source>
        <translation>non c&apos;è un aggiornamento con cui confrontare la scheda</translation>
    </message>
    <message>
        <source>the serial daemon holds no accepted file</source>
        <translation>il demone seriale non ha un file accettato</translation>
    </message>
    <message>
        <source>the board&apos;s configuration describes no area that can be written</source>
        <translation>la configurazione della scheda non descrive un&apos;area scrivibile</translation>
    </message>
    <message>
        <source>it was stopped by another request (the port was closed or a new update started)</source>
        <translation>è stato fermato da un&apos;altra richiesta (la porta è stata chiusa o è iniziato un nuovo aggiornamento)</translation>
    </message>
    <message>
        <source>the serial daemon gave no cause</source>
        <translation>il demone seriale non ha indicato la causa</translation>
    </message>
    <message>
        <source>The update could not start</source>
        <translation>L&apos;aggiornamento non è potuto iniziare</translation>
    </message>
    <message>
        <source>Erasing the page at %1 before block %2 of %3</source>
        <translation>Cancellazione della pagina a %1 prima del blocco %2 di %3</translation>
    </message>
    <message>
        <source>Erasing the board</source>
        <translation>Cancellazione della scheda</translation>
    </message>
    <message>
        <source>Writing block %1 of %2 at %3</source>
        <translation>Scrittura del blocco %1 di %2 a %3</translation>
    </message>
    <message>
        <source>Read back</source>
        <translation>Rilettura</translation>
    </message>
    <message>
        <source>Reading back block %1 of %2 at %3</source>
        <translation>Rilettura del blocco %1 di %2 a %3</translation>
    </message>
    <message>
        <source>The read-back could not start</source>
        <translation>La rilettura non è potuta iniziare</translation>
    </message>
    <message>
        <source>During the update</source>
        <translation>Durante l&apos;aggiornamento</translation>
    </message>
    <message>
        <source>%1: %2.</source>
        <translation>%1: %2.</translation>
    </message>
    <message>
        <source>The board was read back and holds the file.</source>
        <translation>La scheda è stata riletta e contiene il file.</translation>
    </message>
    <message>
        <source>This board cannot be read back; not verified.</source>
        <translation>Questa scheda non può essere riletta; non verificata.</translation>
    </message>
    <message>
        <source>Not verified: reading back after writing is turned off.</source>
        <translation>Non verificata: la rilettura dopo la scrittura è disattivata.</translation>
    </message>
    <message>
        <source>The board was read back and differs from the file.</source>
        <translation>La scheda è stata riletta e differisce dal file.</translation>
    </message>
    <message>
        <source>The read-back could not be completed; not verified.</source>
        <translation>Non è stato possibile completare la rilettura; non verificata.</translation>
    </message>
    <message>
        <source>Board: %1</source>
        <translation>Scheda: %1</translation>
    </message>
    <message>
        <source>Board: %1 (%2)</source>
        <translation>Scheda: %1 (%2)</translation>
    </message>
    <message>
        <source>File: %1</source>
        <translation>File: %1</translation>
    </message>
    <message>
        <source>Duration: %1</source>
        <translation>Durata: %1</translation>
    </message>
    <message>
        <source>Blocks written: %1</source>
        <translation>Blocchi scritti: %1</translation>
    </message>
    <message>
        <source>Retries after damaged answers: %1</source>
        <translation>Ripetizioni dopo risposte danneggiate: %1</translation>
    </message>
</context>
<context>
    <name>FullLog</name>
    <message>
        <source>[more texts]</source>
        <translation>[altri testi]</translation>
    </message>
</context>
<context>
    <name>OpenProgress</name>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>Cancelling...</source>
        <translation>Annullamento...</translation>
    </message>
</context>
<context>
    <name>StatusMessageBar</name>
    <message>
        <source>Copy message</source>
        <translation>Copia messaggio</translation>
    </message>
</context>
<context>
    <name>SkippedValues</name>
    <message>
        <source>TIME value that is not a number</source>
        <translation>Valore TIME che non è un numero</translation>
    </message>
    <message>
        <source>EVENT NUMBER without a number</source>
        <translation>EVENT NUMBER senza numero</translation>
    </message>
    <message>
        <source>Setting not in the lookup database</source>
        <translation>Impostazione assente dal database</translation>
    </message>
    <message>
        <source>Line cut for display</source>
        <translation>Riga accorciata per la visualizzazione</translation>
    </message>
    <message>
        <source>Text beyond the rows a graph can show</source>
        <translation>Testo oltre le righe che un grafico può mostrare</translation>
    </message>
    <message>
        <source>TIME values that are not numbers</source>
        <translation>valori TIME che non sono numeri</translation>
    </message>
    <message>
        <source>EVENT NUMBER lines without a number</source>
        <translation>righe EVENT NUMBER senza numero</translation>
    </message>
    <message>
        <source>settings not in the lookup database</source>
        <translation>impostazioni assenti dal database</translation>
    </message>
    <message>
        <source>lines cut for display</source>
        <translation>righe accorciate per la visualizzazione</translation>
    </message>
    <message>
        <source>lines beyond the rows a graph can show</source>
        <translation>righe oltre quelle che un grafico può mostrare</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>SkippedValuesDialog</name>
    <message>
        <source>Skipped Values</source>
        <translation>Valori non usati</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>What</source>
        <translation>Che cosa</translation>
    </message>
    <message>
        <source>Line</source>
        <translation>Riga</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>Codice</translation>
    </message>
    <message>
        <source>Value as written</source>
        <translation>Valore come scritto</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Chiudi</translation>
    </message>
    <message>
        <source>%1: %2.</source>
        <translation>%1: %2.</translation>
    </message>
    <message>
        <source>The first %1 are listed.</source>
        <translation>Sono elencati i primi %1.</translation>
    </message>
    <message>
        <source>Nothing was skipped.</source>
        <translation>Non è stato tralasciato nulla.</translation>
    </message>
</context>
<context>
    <name>plotexport</name>
    <message>
        <source>Page %1 of %2</source>
        <translation>Pagina %1 di %2</translation>
    </message>
</context>
<context>
    <name>FirmwareLibrary</name>
    <message>
        <source>The board configuration %1 is incomplete: files are not tested against it.</source>
        <translation>La configurazione di scheda %1 è incompleta: i file non vengono verificati rispetto a essa.</translation>
    </message>
    <message>
        <source>%1 is not a .hex file: only HEX files go into the firmware library.</source>
        <translation>%1 non è un file .hex: nella libreria firmware vanno solo file HEX.</translation>
    </message>
    <message>
        <source>%1 was not added to the firmware library: %2.</source>
        <translation>%1 non è stato aggiunto alla libreria firmware: %2.</translation>
    </message>
    <message>
        <source>The firmware library folder %1 cannot be created.</source>
        <translation>Impossibile creare la cartella della libreria firmware %1.</translation>
    </message>
    <message>
        <source>%1 is already in the firmware library as %2.</source>
        <translation>%1 è già nella libreria firmware come %2.</translation>
    </message>
    <message>
        <source>%1 could not be copied into the firmware library: %2.</source>
        <translation>Impossibile copiare %1 nella libreria firmware: %2.</translation>
    </message>
    <message>
        <source>%1 could not be copied into the firmware library folder %2.</source>
        <translation>Impossibile copiare %1 nella cartella della libreria firmware %2.</translation>
    </message>
    <message>
        <source>%1 was added to the firmware library.</source>
        <translation>%1 è stato aggiunto alla libreria firmware.</translation>
    </message>
    <message>
        <source>%1 was added to the firmware library as %2 (a different file of that name is there).</source>
        <translation>%1 è stato aggiunto alla libreria firmware come %2 (lì c&apos;è già un file diverso con quel nome).</translation>
    </message>
</context>
<context>
    <name>LibraryCommand</name>
    <message>
        <source>%1 (sample)</source>
        <translation>%1 (esempio)</translation>
    </message>
    <message>
        <source>%1, %2 %</source>
        <translation>%1, %2 %</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>Modificato</translation>
    </message>
    <message>
        <source>File</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Boards</source>
        <translation>Schede</translation>
    </message>
    <message>
        <source>Signature</source>
        <translation>Firma</translation>
    </message>
    <message>
        <source>Notes</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>Flash</source>
        <translation>Programmabile</translation>
    </message>
    <message>
        <source>Program area, or why not</source>
        <translation>Area programma, o perché no</translation>
    </message>
    <message>
        <source>yes</source>
        <translation>sì</translation>
    </message>
    <message>
        <source>no</source>
        <translation>no</translation>
    </message>
    <message>
        <source>Files for board %1, newest first:</source>
        <translation>File per la scheda %1, dal più recente:</translation>
    </message>
    <message>
        <source>Files for board %1 (%2), newest first:</source>
        <translation>File per la scheda %1 (%2), dal più recente:</translation>
    </message>
    <message>
        <source>The firmware library is empty.</source>
        <translation>La libreria firmware è vuota.</translation>
    </message>
    <message>
        <source>No file in the firmware library is made for this board.</source>
        <translation>Nessun file della libreria firmware è fatto per questa scheda.</translation>
    </message>
    <message>
        <source>* the file of this board type&apos;s last good update</source>
        <translation>* il file dell&apos;ultimo aggiornamento riuscito di questo tipo di scheda</translation>
    </message>
    <message>
        <source>Library folder: %1</source>
        <translation>Cartella della libreria: %1</translation>
    </message>
    <message>
        <source>Only files signed with a trusted key can be flashed (setting &quot;Only flash signed files&quot;).</source>
        <translation>Si possono programmare solo file firmati con una chiave fidata (impostazione &quot;Programma solo file firmati&quot;).</translation>
    </message>
    <message>
        <source>Note: %1</source>
        <translation>Nota: %1</translation>
    </message>
    <message>
        <source>It fits no board: %1.</source>
        <translation>Non va bene per nessuna scheda: %1.</translation>
    </message>
    <message>
        <source>It can be flashed on board %1 (%2): it programs %3.</source>
        <translation>Si può programmare sulla scheda %1 (%2): programma %3.</translation>
    </message>
    <message>
        <source>It is made for board %1 (%2), but %3.</source>
        <translation>È fatto per la scheda %1 (%2), ma %3.</translation>
    </message>
</context>
<context>
    <name>LibraryController</name>
    <message>
        <source>Reading the firmware library: %1 of %2 files…</source>
        <translation>Lettura della libreria firmware: %1 di %2 file…</translation>
    </message>
    <message>
        <source>The firmware library is empty: add HEX files with Add to library… or drop them here.</source>
        <translation>La libreria firmware è vuota: aggiungere file HEX con Aggiungi alla libreria… o trascinarli qui.</translation>
    </message>
    <message>
        <source>One file in the library: connect to list the board&apos;s files.</source>
        <translation>Un file nella libreria: collegarsi per elencare i file della scheda.</translation>
    </message>
    <message>
        <source>%1 files in the library: connect to list the board&apos;s files.</source>
        <translation>%1 file nella libreria: collegarsi per elencare i file della scheda.</translation>
    </message>
    <message>
        <source>No file for %1 in the library: add one with Add to library… or drop it here.</source>
        <translation>Nessun file per %1 nella libreria: aggiungerne uno con Aggiungi alla libreria… o trascinarlo qui.</translation>
    </message>
    <message>
        <source>One file for %1, and it can be flashed.</source>
        <translation>Un file per %1, programmabile.</translation>
    </message>
    <message>
        <source>One file for %1, but it cannot be flashed.</source>
        <translation>Un file per %1, ma non si può programmare.</translation>
    </message>
    <message>
        <source>%1 files for %2, %3 can be flashed.</source>
        <translation>%1 file per %2, %3 programmabili.</translation>
    </message>
    <message>
        <source>board %1 (%2)</source>
        <translation>la scheda %1 (%2)</translation>
    </message>
    <message>
        <source>board %1 (%2), but %3</source>
        <translation>la scheda %1 (%2), ma %3</translation>
    </message>
    <message>
        <source>It fits no board: %1.</source>
        <translation>Non va bene per nessuna scheda: %1.</translation>
    </message>
    <message>
        <source>It is made for %1.</source>
        <translation>È fatto per %1.</translation>
    </message>
    <message>
        <source>Signature: %1.</source>
        <translation>Firma: %1.</translation>
    </message>
</context>
<context>
    <name>LibraryEntry</name>
    <message>
        <source>made for board %1</source>
        <translation>fatto per la scheda %1</translation>
    </message>
</context>
<context>
    <name>LibraryModel</name>
    <message>
        <source>%1, %2 %</source>
        <translation>%1, %2 %</translation>
    </message>
    <message>
        <source>for %1</source>
        <translation>per %1</translation>
    </message>
    <message>
        <source>for %1, but %2</source>
        <translation>per %1, ma %2</translation>
    </message>
    <message>
        <source>Sample firmware shipped with the program (read-only).</source>
        <translation>Firmware di esempio fornito con il programma (sola lettura).</translation>
    </message>
    <message>
        <source>A link in the library folder; the file it leads to is read, never changed.</source>
        <translation>Un collegamento nella cartella della libreria; il file a cui porta viene letto, mai modificato.</translation>
    </message>
    <message>
        <source>Size: %1 bytes</source>
        <translation>Dimensione: %1 byte</translation>
    </message>
    <message>
        <source>MD5: %1</source>
        <translation>MD5: %1</translation>
    </message>
    <message>
        <source>Date: %1</source>
        <translation>Data: %1</translation>
    </message>
    <message>
        <source>Board %1: passes the check; programs %2, %3 % of the program area</source>
        <translation>Scheda %1: supera il controllo; programma %2, %3 % dell&apos;area programma</translation>
    </message>
    <message>
        <source>Board %1: %2</source>
        <translation>Scheda %1: %2</translation>
    </message>
    <message>
        <source>The last good update of this board type wrote this file.</source>
        <translation>L&apos;ultimo aggiornamento riuscito di questo tipo di scheda ha scritto questo file.</translation>
    </message>
    <message>
        <source>%1 (sample)</source>
        <translation>%1 (esempio)</translation>
    </message>
    <message>
        <source>File</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>Signature</source>
        <translation>Firma</translation>
    </message>
    <message>
        <source>Program area, or why not</source>
        <translation>Area programma, o perché no</translation>
    </message>
</context>
<context>
    <name>LibraryPanel</name>
    <message>
        <source>Firmware Library</source>
        <translation>Libreria firmware</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>Tutti i file</translation>
    </message>
    <message>
        <source>List every file of the library, also those for other boards and those that fit none, each with what it is for or why not.</source>
        <translation>Elenca ogni file della libreria, anche quelli per altre schede e quelli che non vanno bene per nessuna, ciascuno con la scheda a cui è destinato o il motivo.</translation>
    </message>
    <message>
        <source>Add to library…</source>
        <translation>Aggiungi alla libreria…</translation>
    </message>
    <message>
        <source>Copy a HEX file (and its signature FILE.hex.sig) into your firmware library. HEX files dropped onto the window are added too.</source>
        <translation>Copia un file HEX (e la sua firma FILE.hex.sig) nella propria libreria firmware. Vengono aggiunti anche i file HEX trascinati sulla finestra.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
</context>
<context>
    <name>LibraryScanner</name>
    <message>
        <source>a folder, not a file</source>
        <translation>una cartella, non un file</translation>
    </message>
    <message>
        <source>a named pipe, not a file</source>
        <translation>una pipe, non un file</translation>
    </message>
    <message>
        <source>a device, not a file</source>
        <translation>un dispositivo, non un file</translation>
    </message>
    <message>
        <source>a socket, not a file</source>
        <translation>un socket, non un file</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>non è un file regolare</translation>
    </message>
    <message>
        <source>a link to a file that does not exist</source>
        <translation>un collegamento a un file che non esiste</translation>
    </message>
    <message>
        <source>the file has gone</source>
        <translation>il file non c&apos;è più</translation>
    </message>
    <message>
        <source>cannot be read: permission denied</source>
        <translation>non leggibile: permesso negato</translation>
    </message>
    <message>
        <source>larger than %1 MiB: no board&apos;s flash holds that much</source>
        <translation>più grande di %1 MiB: la flash di nessuna scheda ne contiene tanto</translation>
    </message>
    <message>
        <source>cannot be read: %1</source>
        <translation>non leggibile: %1</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>il file è vuoto</translation>
    </message>
    <message>
        <source>there is no board configuration to test it against</source>
        <translation>non c&apos;è nessuna configurazione di scheda con cui verificarlo</translation>
    </message>
    <message>
        <source>not firmware for these boards: line 1 is no board identifier line</source>
        <translation>non è firmware per queste schede: la riga 1 non è una riga identificativa di scheda</translation>
    </message>
    <message>
        <source>line 1 is no board identifier line any configured board reads</source>
        <translation>la riga 1 non è una riga identificativa leggibile da alcuna scheda configurata</translation>
    </message>
    <message>
        <source>made for board %1, which has no configuration here</source>
        <translation>fatto per la scheda %1, che qui non ha una configurazione</translation>
    </message>
    <message>
        <source>The sample firmware folder %1 is missing.</source>
        <translation>Manca la cartella del firmware di esempio %1.</translation>
    </message>
    <message>
        <source>%1 is not a folder.</source>
        <translation>%1 non è una cartella.</translation>
    </message>
    <message>
        <source>The folder %1 cannot be read: permission denied.</source>
        <translation>La cartella %1 non è leggibile: permesso negato.</translation>
    </message>
    <message>
        <source>%1 is a link to a folder: links to folders are not followed.</source>
        <translation>%1 è un collegamento a una cartella: i collegamenti a cartelle non vengono seguiti.</translation>
    </message>
    <message>
        <source>%1 lies deeper than %2 folders: not looked into.</source>
        <translation>%1 si trova a più di %2 livelli di cartelle: non viene esaminata.</translation>
    </message>
    <message>
        <source>The library holds more than %1 files: only the first %1 are listed.</source>
        <translation>La libreria contiene più di %1 file: vengono elencati solo i primi %1.</translation>
    </message>
</context>
<context>
    <name>SignatureCheck</name>
    <message>
        <source>unsigned</source>
        <translation>non firmato</translation>
    </message>
    <message>
        <source>signed by %1</source>
        <translation>firmato da %1</translation>
    </message>
    <message>
        <source>damaged signature</source>
        <translation>firma danneggiata</translation>
    </message>
    <message>
        <source>signature of another file</source>
        <translation>firma di un altro file</translation>
    </message>
    <message>
        <source>untrusted key</source>
        <translation>chiave non fidata</translation>
    </message>
    <message>
        <source>its signature file is damaged</source>
        <translation>il suo file di firma è danneggiato</translation>
    </message>
    <message>
        <source>its signature is for another file (%1), or the file was changed after signing</source>
        <translation>la sua firma è di un altro file (%1), oppure il file è stato modificato dopo la firma</translation>
    </message>
    <message>
        <source>its signature is for another file, or the file was changed after signing</source>
        <translation>la sua firma è di un altro file, oppure il file è stato modificato dopo la firma</translation>
    </message>
    <message>
        <source>it is signed with key %1, which is not a trusted key</source>
        <translation>è firmato con la chiave %1, che non è una chiave fidata</translation>
    </message>
    <message>
        <source>Signature: none (unsigned)</source>
        <translation>Firma: nessuna (non firmato)</translation>
    </message>
    <message>
        <source>Signature: signed by %1 (key %2), %3</source>
        <translation>Firma: firmato da %1 (chiave %2), %3</translation>
    </message>
    <message>
        <source>Signature: signed by %1 (key %2)</source>
        <translation>Firma: firmato da %1 (chiave %2)</translation>
    </message>
    <message>
        <source>Signature refused: %1</source>
        <translation>Firma rifiutata: %1</translation>
    </message>
    <message>
        <source>the file is not signed</source>
        <translation>il file non è firmato</translation>
    </message>
    <message>
        <source>%1; only files signed with a trusted key may be flashed (Setup, Configure: Only flash signed files)</source>
        <translation>%1; si possono programmare solo file firmati con una chiave fidata (Impostazioni, Configura: Programma solo file firmati)</translation>
    </message>
</context>
<context>
    <name>TrustedKeys</name>
    <message>
        <source>%1 is not a minisign public key file; it is not used.</source>
        <translation>%1 non è un file di chiave pubblica minisign; non viene usato.</translation>
    </message>
    <message>
        <source>%1 cannot be read; it is not used.</source>
        <translation>%1 non è leggibile; non viene usato.</translation>
    </message>
</context>
</TS>
