-- Descriptions and setting conversions for the codes that the control
-- boards write into their logs. Built into Log_look_up.s3db at build time;
-- the program only reads it. Every text column is compared as text.
PRAGMA foreign_keys = OFF;
BEGIN TRANSACTION;

CREATE TABLE Board_Info (
    ID INTEGER PRIMARY KEY,
    ParamCode TEXT NOT NULL,
    LENGUAGE TEXT NOT NULL,
    Description TEXT NOT NULL,
    UNIQUE (ParamCode, LENGUAGE)
);

CREATE TABLE Alarms (
    ID INTEGER PRIMARY KEY,
    Alarms_Code TEXT NOT NULL,
    LENGUAGE TEXT NOT NULL,
    Description TEXT NOT NULL,
    UNIQUE (Alarms_Code, LENGUAGE)
);

-- ParamCode is "text" followed by the command or event code of the full log.
CREATE TABLE Event_Commands (
    ID INTEGER PRIMARY KEY,
    ParamCode TEXT NOT NULL,
    LENGUAGE TEXT NOT NULL,
    Description TEXT NOT NULL,
    UNIQUE (ParamCode, LENGUAGE)
);

INSERT INTO Board_Info (ParamCode, LENGUAGE, Description) VALUES
    ('BOARDID', 'EN', 'Control board type'),
    ('FW', 'EN', 'Firmware version'),
    ('HW', 'EN', 'Hardware revision'),
    ('SN', 'EN', 'Serial number'),
    ('PD', 'EN', 'Production date'),
    ('AS', 'EN', 'Service interval (manoeuvres)'),
    ('CP', 'EN', 'Manoeuvres since last service'),
    ('CV', 'EN', 'Total manoeuvres'),
    ('RT', 'EN', 'Radio transmitters stored'),
    ('PW', 'EN', 'Power-ups'),
    ('BOARDID', 'IT', 'Tipo di scheda di controllo'),
    ('FW', 'IT', 'Versione firmware'),
    ('HW', 'IT', 'Revisione hardware'),
    ('SN', 'IT', 'Numero di serie'),
    ('PD', 'IT', 'Data di produzione'),
    ('AS', 'IT', 'Intervallo di assistenza (manovre)'),
    ('CP', 'IT', 'Manovre dall''ultima assistenza'),
    ('CV', 'IT', 'Manovre totali'),
    ('RT', 'IT', 'Trasmettitori radio memorizzati'),
    ('PW', 'IT', 'Accensioni');

INSERT INTO Alarms (Alarms_Code, LENGUAGE, Description) VALUES
    ('E1', 'EN', 'Photocell obstructed at start'),
    ('E2', 'EN', 'Safety edge triggered'),
    ('E3', 'EN', 'Obstacle detected, motor 1'),
    ('E4', 'EN', 'Obstacle detected, motor 2'),
    ('E5', 'EN', 'Overcurrent, motor 1'),
    ('E6', 'EN', 'Overcurrent, motor 2'),
    ('E7', 'EN', 'Safety devices test failed'),
    ('E8', 'EN', 'Low supply voltage'),
    ('E9', 'EN', 'Running on battery'),
    ('EA', 'EN', 'Encoder fault'),
    ('EB', 'EN', 'Working time exceeded'),
    ('EC', 'EN', 'Board overtemperature'),
    ('ED', 'EN', 'Service interval reached'),
    ('E1', 'IT', 'Fotocellula occupata alla partenza'),
    ('E2', 'IT', 'Intervento costa di sicurezza'),
    ('E3', 'IT', 'Ostacolo rilevato, motore 1'),
    ('E4', 'IT', 'Ostacolo rilevato, motore 2'),
    ('E5', 'IT', 'Sovracorrente, motore 1'),
    ('E6', 'IT', 'Sovracorrente, motore 2'),
    ('E7', 'IT', 'Test dispositivi di sicurezza fallito'),
    ('E8', 'IT', 'Tensione di alimentazione bassa'),
    ('E9', 'IT', 'Funzionamento a batteria'),
    ('EA', 'IT', 'Guasto encoder'),
    ('EB', 'IT', 'Tempo di lavoro superato'),
    ('EC', 'IT', 'Sovratemperatura scheda'),
    ('ED', 'IT', 'Intervallo di assistenza raggiunto');

INSERT INTO Event_Commands (ParamCode, LENGUAGE, Description) VALUES
    ('text01', 'EN', 'Step-by-step command from the START input'),
    ('text02', 'EN', 'Open command from the OPEN input'),
    ('text03', 'EN', 'Close command from the CLOSE input'),
    ('text04', 'EN', 'Pedestrian opening from the PED input'),
    ('text05', 'EN', 'Stop command from the STOP input'),
    ('text0C', 'EN', 'Step-by-step command from a radio transmitter'),
    ('text0D', 'EN', 'Pedestrian opening from a radio transmitter'),
    ('text40', 'EN', 'Opening limit switch reached, motor 1'),
    ('text41', 'EN', 'Opening limit switch reached, motor 2'),
    ('text42', 'EN', 'Closing limit switch reached, motor 1'),
    ('text43', 'EN', 'Closing limit switch reached, motor 2'),
    ('text44', 'EN', 'Photocell intervention, direction reversed'),
    ('text45', 'EN', 'Safety edge intervention'),
    ('text46', 'EN', 'Reversal after obstacle detection'),
    ('text47', 'EN', 'Automatic closing started'),
    ('text48', 'EN', 'Manoeuvre stopped by the STOP input'),
    ('text49', 'EN', 'Mains power restored'),
    ('text01', 'IT', 'Comando passo-passo dall''ingresso START'),
    ('text02', 'IT', 'Comando di apertura dall''ingresso OPEN'),
    ('text03', 'IT', 'Comando di chiusura dall''ingresso CLOSE'),
    ('text04', 'IT', 'Apertura pedonale dall''ingresso PED'),
    ('text05', 'IT', 'Comando di stop dall''ingresso STOP'),
    ('text0C', 'IT', 'Comando passo-passo da trasmettitore radio'),
    ('text0D', 'IT', 'Apertura pedonale da trasmettitore radio'),
    ('text40', 'IT', 'Finecorsa di apertura raggiunto, motore 1'),
    ('text41', 'IT', 'Finecorsa di apertura raggiunto, motore 2'),
    ('text42', 'IT', 'Finecorsa di chiusura raggiunto, motore 1'),
    ('text43', 'IT', 'Finecorsa di chiusura raggiunto, motore 2'),
    ('text44', 'IT', 'Intervento fotocellula, inversione di marcia'),
    ('text45', 'IT', 'Intervento costa di sicurezza'),
    ('text46', 'IT', 'Inversione dopo rilevamento ostacolo'),
    ('text47', 'IT', 'Richiusura automatica avviata'),
    ('text48', 'IT', 'Manovra fermata dall''ingresso STOP'),
    ('text49', 'IT', 'Ritorno alimentazione di rete');


-- Settings of the M7 board (24 V swing gates, two motors). HexCode is the code of a
-- #DEVICECONF line as the board writes it. Parameter_Type: PAR (formula in x),
-- PAR_2_COMP (signed byte), PAR_ENUM and FLAG (key=text entries joined by *).
CREATE TABLE M7_Settings (
    ID INTEGER PRIMARY KEY,
    HexCode TEXT NOT NULL,
    LENGUAGE TEXT NOT NULL,
    ParamCode TEXT NOT NULL,
    Unit_Measure TEXT NOT NULL DEFAULT '',
    Description TEXT NOT NULL,
    Conversion_Formula TEXT NOT NULL DEFAULT '',
    Parameter_Type TEXT NOT NULL,
    UNIQUE (HexCode, LENGUAGE)
);

INSERT INTO M7_Settings (HexCode, LENGUAGE, ParamCode, Unit_Measure, Description, Conversion_Formula, Parameter_Type) VALUES
    ('00', 'EN', 'TLM1', 's', 'Working time, motor 1', 'x/2', 'PAR'),
    ('01', 'EN', 'TLM2', 's', 'Working time, motor 2', 'x/2', 'PAR'),
    ('02', 'EN', 'TCA', 's', 'Automatic closing time', 'x', 'PAR'),
    ('03', 'EN', 'TRC2', 's', 'Leaf delay on closing, motor 2', 'x/10', 'PAR'),
    ('04', 'EN', 'TRA1', 's', 'Leaf delay on opening, motor 1', 'x/10', 'PAR'),
    ('05', 'EN', 'FRZ1', '%', 'Motor force, motor 1', 'Math.round(x*100/255)', 'PAR'),
    ('06', 'EN', 'FRZ2', '%', 'Motor force, motor 2', 'Math.round(x*100/255)', 'PAR'),
    ('07', 'EN', 'SENS', '%', 'Obstacle detection sensitivity', 'x', 'PAR'),
    ('08', 'EN', 'RALL', 's', 'Slow-down time', 'x/10', 'PAR'),
    ('09', 'EN', 'OFS1', '%', 'Speed offset, motor 1', '', 'PAR_2_COMP'),
    ('0A', 'EN', 'OFS2', '%', 'Speed offset, motor 2', '', 'PAR_2_COMP'),
    ('0B', 'EN', 'LOGIC', '', 'Operating logic', '0=Automatic*1=Semi-automatic*2=Step-by-step*3=Hold-to-run', 'PAR_ENUM'),
    ('0C', 'EN', 'FTCA', '', 'Photocell reverses on closing', '0=Off*1=On', 'FLAG'),
    ('0D', 'EN', 'FTAP', '', 'Photocell active on opening', '0=Off*1=On', 'FLAG'),
    ('0E', 'EN', 'LAMP', '', 'Warning light output', '0=Flashing*1=Steady*2=Courtesy light', 'PAR_ENUM'),
    ('0F', 'EN', 'PREL', 's', 'Pre-flashing time', 'x', 'PAR'),
    ('10', 'EN', 'SOFT', '', 'Soft start', '0=Off*1=On', 'FLAG'),
    ('11', 'EN', 'COLP', '', 'Ram blow before opening', '0=Off*1=On', 'FLAG'),
    ('12', 'EN', 'TEST', '', 'Safety devices test', '0=Off*1=Photocells*2=Photocells and edge', 'PAR_ENUM'),
    ('13', 'EN', 'VBAT', 'V', 'Battery low threshold', 'x/10', 'PAR'),
    ('14', 'EN', 'SERV', '', 'Service interval (manoeuvres)', 'x*100', 'PAR'),
    ('15', 'EN', 'LINK', '', 'Paired gate mode', '0=Single*1=Master*2=Slave', 'PAR_ENUM'),
    ('00', 'IT', 'TLM1', 's', 'Tempo di lavoro, motore 1', 'x/2', 'PAR'),
    ('01', 'IT', 'TLM2', 's', 'Tempo di lavoro, motore 2', 'x/2', 'PAR'),
    ('02', 'IT', 'TCA', 's', 'Tempo di richiusura automatica', 'x', 'PAR'),
    ('03', 'IT', 'TRC2', 's', 'Ritardo anta in chiusura, motore 2', 'x/10', 'PAR'),
    ('04', 'IT', 'TRA1', 's', 'Ritardo anta in apertura, motore 1', 'x/10', 'PAR'),
    ('05', 'IT', 'FRZ1', '%', 'Forza motore 1', 'Math.round(x*100/255)', 'PAR'),
    ('06', 'IT', 'FRZ2', '%', 'Forza motore 2', 'Math.round(x*100/255)', 'PAR'),
    ('07', 'IT', 'SENS', '%', 'Sensibilità rilevamento ostacolo', 'x', 'PAR'),
    ('08', 'IT', 'RALL', 's', 'Tempo di rallentamento', 'x/10', 'PAR'),
    ('09', 'IT', 'OFS1', '%', 'Correzione velocità, motore 1', '', 'PAR_2_COMP'),
    ('0A', 'IT', 'OFS2', '%', 'Correzione velocità, motore 2', '', 'PAR_2_COMP'),
    ('0B', 'IT', 'LOGIC', '', 'Logica di funzionamento', '0=Automatica*1=Semiautomatica*2=Passo-passo*3=Uomo presente', 'PAR_ENUM'),
    ('0C', 'IT', 'FTCA', '', 'Fotocellula inverte in chiusura', '0=Disattivo*1=Attivo', 'FLAG'),
    ('0D', 'IT', 'FTAP', '', 'Fotocellula attiva in apertura', '0=Disattivo*1=Attivo', 'FLAG'),
    ('0E', 'IT', 'LAMP', '', 'Uscita lampeggiante', '0=Lampeggiante*1=Fissa*2=Luce di cortesia', 'PAR_ENUM'),
    ('0F', 'IT', 'PREL', 's', 'Tempo di prelampeggio', 'x', 'PAR'),
    ('10', 'IT', 'SOFT', '', 'Partenza rallentata', '0=Disattivo*1=Attivo', 'FLAG'),
    ('11', 'IT', 'COLP', '', 'Colpo d''ariete in apertura', '0=Disattivo*1=Attivo', 'FLAG'),
    ('12', 'IT', 'TEST', '', 'Test dispositivi di sicurezza', '0=Disattivo*1=Fotocellule*2=Fotocellule e costa', 'PAR_ENUM'),
    ('13', 'IT', 'VBAT', 'V', 'Soglia batteria scarica', 'x/10', 'PAR'),
    ('14', 'IT', 'SERV', '', 'Intervallo di assistenza (manovre)', 'x*100', 'PAR'),
    ('15', 'IT', 'LINK', '', 'Modalità ante accoppiate', '0=Singolo*1=Master*2=Slave', 'PAR_ENUM');


-- Settings of the K4 board (230 V sliding gates). HexCode is the code of a
-- #DEVICECONF line as the board writes it. Parameter_Type: PAR (formula in x),
-- PAR_2_COMP (signed byte), PAR_ENUM and FLAG (key=text entries joined by *).
CREATE TABLE K4_Settings (
    ID INTEGER PRIMARY KEY,
    HexCode TEXT NOT NULL,
    LENGUAGE TEXT NOT NULL,
    ParamCode TEXT NOT NULL,
    Unit_Measure TEXT NOT NULL DEFAULT '',
    Description TEXT NOT NULL,
    Conversion_Formula TEXT NOT NULL DEFAULT '',
    Parameter_Type TEXT NOT NULL,
    UNIQUE (HexCode, LENGUAGE)
);

INSERT INTO K4_Settings (HexCode, LENGUAGE, ParamCode, Unit_Measure, Description, Conversion_Formula, Parameter_Type) VALUES
    ('00', 'EN', 'TLAV', 's', 'Working time', 'x/2', 'PAR'),
    ('01', 'EN', 'TCA', 's', 'Automatic closing time', 'x', 'PAR'),
    ('02', 'EN', 'FRZ', '%', 'Motor force', 'Math.round(x*100/255)', 'PAR'),
    ('03', 'EN', 'SENS', '%', 'Obstacle detection sensitivity', 'x', 'PAR'),
    ('04', 'EN', 'RALL', 'cm', 'Slow-down distance', 'x*2', 'PAR'),
    ('05', 'EN', 'OFS', '%', 'Speed offset', '', 'PAR_2_COMP'),
    ('06', 'EN', 'LOGIC', '', 'Operating logic', '0=Automatic*1=Semi-automatic*2=Step-by-step*3=Hold-to-run', 'PAR_ENUM'),
    ('07', 'EN', 'FTCA', '', 'Photocell reverses on closing', '0=Off*1=On', 'FLAG'),
    ('08', 'EN', 'DIR', '', 'Opening direction', '0=Left*1=Right', 'PAR_ENUM'),
    ('09', 'EN', 'ENC', '', 'Encoder', '0=Off*1=On', 'FLAG'),
    ('0A', 'EN', 'PED', '%', 'Pedestrian opening width', 'x', 'PAR'),
    ('0B', 'EN', 'TEMP', '°C', 'Motor heating threshold', 'x-40', 'PAR'),
    ('00', 'IT', 'TLAV', 's', 'Tempo di lavoro', 'x/2', 'PAR'),
    ('01', 'IT', 'TCA', 's', 'Tempo di richiusura automatica', 'x', 'PAR'),
    ('02', 'IT', 'FRZ', '%', 'Forza motore', 'Math.round(x*100/255)', 'PAR'),
    ('03', 'IT', 'SENS', '%', 'Sensibilità rilevamento ostacolo', 'x', 'PAR'),
    ('04', 'IT', 'RALL', 'cm', 'Spazio di rallentamento', 'x*2', 'PAR'),
    ('05', 'IT', 'OFS', '%', 'Correzione velocità', '', 'PAR_2_COMP'),
    ('06', 'IT', 'LOGIC', '', 'Logica di funzionamento', '0=Automatica*1=Semiautomatica*2=Passo-passo*3=Uomo presente', 'PAR_ENUM'),
    ('07', 'IT', 'FTCA', '', 'Fotocellula inverte in chiusura', '0=Disattivo*1=Attivo', 'FLAG'),
    ('08', 'IT', 'DIR', '', 'Direzione di apertura', '0=Sinistra*1=Destra', 'PAR_ENUM'),
    ('09', 'IT', 'ENC', '', 'Encoder', '0=Disattivo*1=Attivo', 'FLAG'),
    ('0A', 'IT', 'PED', '%', 'Ampiezza apertura pedonale', 'x', 'PAR'),
    ('0B', 'IT', 'TEMP', '°C', 'Soglia riscaldamento motore', 'x-40', 'PAR');

COMMIT;
